// Header-line macros: "$" and the letter after it, up to the next space,
// are replaced by the letter's value; values are not scanned again.

#include "faxengine/FaxSession.h"

#include <cctype>

namespace faxengine {

namespace {
std::string MacroValue(char letter, const HeaderValues& v) {
  switch (std::toupper(static_cast<unsigned char>(letter))) {
  case 'D':
    return v.date;
  case 'T':
    return v.time;
  case 'I':
    return v.stationId;
  case 'F':
    return v.sender;
  case 'R':
    return v.recipient;
  case 'S':
    return v.title;
  case 'N':
    return std::to_string(v.totalPages);
  case 'P':
    return std::to_string(v.pageNumber);
  default:
    return {};
  }
}
} // namespace

std::string ExpandHeaderMacros(const std::string& line, const HeaderValues& values) {
  std::string out;
  out.reserve(line.size() + 32);
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] != '$') {
      out.push_back(line[i++]);
      continue;
    }
    const size_t end = line.find(' ', i);
    const size_t tokenEnd = end == std::string::npos ? line.size() : end;
    const char letter = i + 1 < tokenEnd ? line[i + 1] : '\0';
    out += MacroValue(letter, values);
    i = tokenEnd;
  }
  return out;
}

} // namespace faxengine
