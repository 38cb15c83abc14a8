#include "sipline/SdpMedia.h"

#include <algorithm>
#include <charconv>
#include <sstream>

namespace tolvane::sipline {
namespace {

bool iequals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool toInt(std::string_view s, int& v, int lo, int hi) {
  s = trim(s);
  int n = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  if (ec != std::errc() || end != s.data() + s.size() || n < lo || n > hi)
    return false;
  v = n;
  return true;
}

std::vector<std::string_view> words(std::string_view s) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ')
      ++i;
    size_t j = i;
    while (j < s.size() && s[j] != ' ')
      ++j;
    if (j > i)
      out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

// Flag attributes may come bare ("a=T38FaxFillBitRemoval") or with 0/1.
bool flag(std::string_view value, bool present, bool& out) {
  if (!present) {
    out = true;
    return true;
  }
  int v = 0;
  if (!toInt(value, v, 0, 1))
    return false;
  out = v == 1;
  return true;
}

bool ipv4(std::string_view s) {
  int parts = 0;
  for (size_t i = 0; i <= s.size(); ++parts) {
    size_t j = s.find('.', i);
    if (j == std::string_view::npos)
      j = s.size();
    int v = 0;
    if (j == i || j - i > 3 || !toInt(s.substr(i, j - i), v, 0, 255))
      return false;
    i = j + 1;
  }
  return parts == 4;
}

} // namespace

bool parseT38Attribute(std::string_view attribute, T38Attributes& t) {
  size_t colon = attribute.find(':');
  bool hasValue = colon != std::string_view::npos;
  std::string_view name = trim(attribute.substr(0, colon));
  std::string_view value = hasValue ? trim(attribute.substr(colon + 1)) : std::string_view();
  if (iequals(name, "T38FaxVersion"))
    return hasValue && toInt(value, t.version, 0, 255);
  if (iequals(name, "T38MaxBitRate"))
    return hasValue && toInt(value, t.maxBitRate, 300, 1 << 20);
  if (iequals(name, "T38FaxFillBitRemoval"))
    return flag(value, hasValue, t.fillBitRemoval);
  if (iequals(name, "T38FaxTranscodingMMR"))
    return flag(value, hasValue, t.transcodingMmr);
  if (iequals(name, "T38FaxTranscodingJBIG"))
    return flag(value, hasValue, t.transcodingJbig);
  if (iequals(name, "T38FaxMaxBuffer"))
    return hasValue && toInt(value, t.maxBuffer, 1, 1 << 24);
  if (iequals(name, "T38FaxMaxDatagram"))
    return hasValue && toInt(value, t.maxDatagram, 1, 1 << 16);
  if (iequals(name, "T38FaxRateManagement")) {
    if (iequals(value, "transferredTCF"))
      t.rateManagement = RateManagement::TransferredTcf;
    else if (iequals(value, "localTCF"))
      t.rateManagement = RateManagement::LocalTcf;
    else
      return false;
    return true;
  }
  if (iequals(name, "T38FaxUdpEC")) {
    if (iequals(value, "t38UDPRedundancy"))
      t.errorCorrection = UdpErrorCorrection::Redundancy;
    else if (iequals(value, "t38UDPFEC"))
      t.errorCorrection = UdpErrorCorrection::Fec;
    else if (iequals(value, "t38UDPNoEC"))
      t.errorCorrection = UdpErrorCorrection::None;
    else
      return false;
    return true;
  }
  return false;
}

std::optional<MediaDescription> parseSdp(std::string_view sdp) {
  MediaDescription m;
  enum class Section { Session, Audio, Image, Other } section = Section::Session;
  std::string sessionAddress, mediaAddress;
  bool sawVersion = false;
  size_t pos = 0;
  while (pos < sdp.size()) {
    size_t end = sdp.find('\n', pos);
    if (end == std::string_view::npos)
      end = sdp.size();
    std::string_view line = trim(sdp.substr(pos, end - pos));
    pos = end + 1;
    if (line.size() < 2 || line[1] != '=')
      continue;
    std::string_view body = line.substr(2);
    switch (line[0]) {
    case 'v':
      sawVersion = body == "0";
      break;
    case 'c': {
      auto w = words(body);
      if (w.size() != 3 || w[0] != "IN" || w[1] != "IP4" || !ipv4(w[2]))
        break;
      if (section == Section::Session)
        sessionAddress = w[2];
      else if (section != Section::Other && mediaAddress.empty())
        mediaAddress = w[2];
      break;
    }
    case 'm': {
      auto w = words(body);
      section = Section::Other;
      if (m.streams.size() < 16)
        m.streams.emplace_back(body);
      int port = 0;
      if (w.size() < 4 || !toInt(w[1], port, 0, 65535))
        break;
      if (w[0] == "audio" && m.audioPort == 0 && iequals(w[2], "RTP/AVP")) {
        section = Section::Audio;
        for (size_t i = 3; i < w.size(); ++i) {
          int pt = 0;
          if (toInt(w[i], pt, 0, 127) && (pt == 0 || pt == 8))
            m.audioPayloads.push_back(pt);
        }
        m.audioPort = m.audioPayloads.empty() ? 0 : port;
      } else if (w[0] == "image" && m.imagePort == 0 && iequals(w[2], "udptl") &&
                 iequals(w[3], "t38")) {
        section = Section::Image;
        m.imagePort = port;
      }
      break;
    }
    case 'a':
      if (section == Section::Image)
        parseT38Attribute(body, m.t38);
      break;
    default:
      break;
    }
  }
  m.address = mediaAddress.empty() ? sessionAddress : mediaAddress;
  if (!sawVersion || m.address.empty() || (m.audioPort == 0 && m.imagePort == 0))
    return std::nullopt;
  return m;
}

namespace {

void writeStream(std::ostringstream& s, const MediaDescription& m) {
  if (m.imagePort) {
    const T38Attributes& t = m.t38;
    s << "m=image " << m.imagePort << " udptl t38\r\n"
      << "a=T38FaxVersion:" << t.version << "\r\n"
      << "a=T38MaxBitRate:" << t.maxBitRate << "\r\n";
    if (t.fillBitRemoval)
      s << "a=T38FaxFillBitRemoval\r\n";
    s << "a=T38FaxRateManagement:"
      << (t.rateManagement == RateManagement::TransferredTcf ? "transferredTCF" : "localTCF")
      << "\r\n";
    if (t.maxBuffer)
      s << "a=T38FaxMaxBuffer:" << t.maxBuffer << "\r\n";
    if (t.maxDatagram)
      s << "a=T38FaxMaxDatagram:" << t.maxDatagram << "\r\n";
    const char* ec = t.errorCorrection == UdpErrorCorrection::Redundancy ? "t38UDPRedundancy"
                     : t.errorCorrection == UdpErrorCorrection::Fec      ? "t38UDPFEC"
                                                                         : "t38UDPNoEC";
    s << "a=T38FaxUdpEC:" << ec << "\r\n";
  } else {
    s << "m=audio " << m.audioPort << " RTP/AVP";
    for (int pt : m.audioPayloads)
      s << ' ' << pt;
    s << "\r\n";
    for (int pt : m.audioPayloads)
      s << "a=rtpmap:" << pt << (pt == 8 ? " PCMA/8000" : " PCMU/8000") << "\r\n";
    s << "a=ptime:20\r\n";
  }
}

} // namespace

std::string writeSdp(const MediaDescription& m, unsigned version, const MediaDescription* offer) {
  std::ostringstream s;
  s << "v=0\r\n"
    << "o=- 1 " << version << " IN IP4 " << m.address << "\r\n"
    << "s=fax\r\n"
    << "c=IN IP4 " << m.address << "\r\n"
    << "t=0 0\r\n";
  bool written = false;
  if (offer) {
    const std::string_view ours = m.imagePort ? "image" : "audio";
    for (const std::string& stream : offer->streams) {
      auto w = words(stream);
      if (w.size() < 4)
        continue;
      if (!written && w[0] == ours) {
        writeStream(s, m);
        written = true;
        continue;
      }
      s << "m=" << w[0] << " 0";
      for (size_t i = 2; i < w.size(); ++i)
        s << ' ' << w[i];
      s << "\r\n";
    }
  }
  if (!written)
    writeStream(s, m);
  return s.str();
}

T38Attributes answerT38(const T38Attributes& offered, const T38Attributes& ours) {
  T38Attributes a = ours;
  a.version = std::min(offered.version, ours.version);
  a.maxBitRate = std::min(offered.maxBitRate, ours.maxBitRate);
  a.fillBitRemoval = offered.fillBitRemoval && ours.fillBitRemoval;
  a.transcodingMmr = false;
  a.transcodingJbig = false;
  a.rateManagement = offered.rateManagement;
  if (offered.errorCorrection == UdpErrorCorrection::None)
    a.errorCorrection = UdpErrorCorrection::None;
  return a;
}

} // namespace tolvane::sipline
