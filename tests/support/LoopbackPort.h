#pragma once
// Ports on 127.0.0.1 for servers that tests start (mail, print, SIP, fax).

namespace testsupport {

// A port that is free on the loopback address for both TCP and UDP at the
// moment of asking (a SIP server listens on both), or 0 if none was found.
int freeLoopbackPort();

} // namespace testsupport
