#pragma once
// Where the program finds its main dictionary tov.dct. In this order:
//   1. the data folder (ProgramDir), so a user can put a dictionary of their own there;
//   2. the executable's folder (portable use, a build tree);
//   3. <executable folder>/../share/tolvane/ (an installed tree, wherever its prefix);
//   4. each folder of $XDG_DATA_DIRS + /tolvane/ (default /usr/local/share:/usr/share);
//   5. the installation's data folder chosen at build time (<prefix>/share/tolvane/);
//   6. the build tree's share/tolvane/, where the build puts the compiled dictionary.
// The user dictionary tovu.dct always lives in the data folder.

#include <string>
#include <vector>

namespace spell {

inline constexpr const char* kMainDictionaryFile = "tov.dct";
inline constexpr const char* kUserDictionaryFile = "tovu.dct";

// Every place looked at, in order (programDir ends with "/").
std::vector<std::string> MainDictionaryPlaces(const std::string& programDir);
// The first place that holds a regular file, or programDir + "tov.dct".
std::string FindMainDictionary(const std::string& programDir);

} // namespace spell
