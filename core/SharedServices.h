#pragma once
// Small text and number helpers shared by the windows.

#include <string>
#include <string_view>

namespace app {

// Removes leading and trailing blanks (the space character only, not tabs).
std::string TrimSpaces(std::string_view text);

// Fax speed list (2400, 4800, 7200, 9600, 12000, 14400): index to bits per
// second and back. Unknown values fall back to 9600 (index 3).
int BpsFromIndex(int index);
int IndexFromBps(int bps);

// The text part of the empty-document test for rich-text editors (the editor
// first checks whether it holds nothing at all): a text of 256 characters or
// more is not empty; otherwise it is empty when each of its first 201 lines
// is empty after TrimSpaces. Lines end in CR LF, LF or CR.
bool IsTextBlank(std::string_view text);

} // namespace app
