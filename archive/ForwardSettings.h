#pragma once
// The forwarding rules as TOV.INI keeps them, in section [Forward]. The mail
// password is not among them: the desktop's secret store keeps it.

#include "archive/ForwardQueue.h"

#include <string>

namespace archive {

// Missing keys give the rules off and port 587.
ForwardRules LoadForwardRules(const std::string& iniPath);
// False when the file refuses a key (the keys after it are not written).
bool SaveForwardRules(const ForwardRules& rules, const std::string& iniPath);

} // namespace archive
