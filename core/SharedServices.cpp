#include "core/SharedServices.h"

namespace app {

std::string TrimSpaces(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos)
    return {};
  std::size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

int BpsFromIndex(int index) {
  switch (index) {
  case 0:
    return 2400;
  case 1:
    return 4800;
  case 2:
    return 7200;
  case 4:
    return 12000;
  case 5:
    return 14400;
  default:
    return 9600;
  }
}

int IndexFromBps(int bps) {
  switch (bps) {
  case 2400:
    return 0;
  case 4800:
    return 1;
  case 7200:
    return 2;
  case 12000:
    return 4;
  case 14400:
    return 5;
  default:
    return 3;
  }
}

bool IsTextBlank(std::string_view text) {
  constexpr std::size_t MaxLength = 256;
  constexpr int LinesExamined = 201;
  if (text.size() >= MaxLength)
    return false;
  std::size_t pos = 0;
  for (int line = 0; line < LinesExamined && pos <= text.size(); ++line) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos)
      end = text.size();
    if (!TrimSpaces(text.substr(pos, end - pos)).empty())
      return false;
    if (end == text.size())
      break;
    pos = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return true;
}

} // namespace app
