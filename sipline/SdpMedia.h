#pragma once
// The SDP (RFC 4566) a fax line offers and answers: one audio stream of
// G.711 (RFC 3551 payload types 8 and 0) or one T.38 image stream over
// UDPTL with its attributes (T.38 Annex D.2.3), both on one address.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::sipline {

enum class RateManagement { TransferredTcf, LocalTcf };
enum class UdpErrorCorrection { None, Redundancy, Fec };

struct T38Attributes {
  int version = 0;
  int maxBitRate = 14400;
  bool fillBitRemoval = false;
  bool transcodingMmr = false;
  bool transcodingJbig = false;
  RateManagement rateManagement = RateManagement::TransferredTcf;
  int maxBuffer = 0;   // 0: not given
  int maxDatagram = 0; // 0: not given
  UdpErrorCorrection errorCorrection = UdpErrorCorrection::Redundancy;
};

// Applies one "a=" attribute (the text after "a=") to t; false when it is
// no T.38 attribute or its value is not understood.
bool parseT38Attribute(std::string_view attribute, T38Attributes& t);

struct MediaDescription {
  std::string address; // IPv4 dotted quad of the c= line
  int audioPort = 0;   // 0: no audio stream (or a refused one)
  std::vector<int> audioPayloads;
  int imagePort = 0; // 0: no T.38 stream
  T38Attributes t38;
  // Every m= line as read, its kind first ("audio 4000 RTP/AVP 8 0"): an
  // answer repeats them in their order, refusing the unused ones with port 0.
  std::vector<std::string> streams;
};

// Reads the session's address and its first audio and image streams.
// Returns nothing when the text is no SDP with a usable stream.
std::optional<MediaDescription> parseSdp(std::string_view sdp);

// The SDP text for a description; version counts the changes of this
// session (o= line), so that a re-INVITE carries a higher one. An answer
// names the offer: it then has the offer's m= lines in the offer's order
// (RFC 3264 6), the one stream in use and the others refused (port 0).
std::string writeSdp(const MediaDescription& media, unsigned version,
                     const MediaDescription* offer = nullptr);

// The T.38 parameters both ends can use, given what the far end offered:
// the lower version and bit rate, and redundancy unless it offers none.
T38Attributes answerT38(const T38Attributes& offered, const T38Attributes& ours);

} // namespace tolvane::sipline
