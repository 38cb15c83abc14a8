// Where the main dictionary is looked for.
#include "SpellTestSupport.h"

#include "spell/DictionaryLocation.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

TEST(DictionaryLocation, DataFolderFirstThenDataDirsThenTheBuild) {
  spelltest::TempDir home, shared;
  const std::string programDir = home.Path() + "/";
  std::filesystem::create_directories(shared.File("tolvane"));
  spelltest::WriteBytes(shared.File("tolvane/tov.dct"), "shared copy");
  ::setenv("XDG_DATA_DIRS", (home.File("none") + ":" + shared.Path()).c_str(), 1);

  const std::vector<std::string> places = spell::MainDictionaryPlaces(programDir);
  ASSERT_GE(places.size(), 5u);
  EXPECT_EQ(places.front(), programDir + "tov.dct");
  EXPECT_NE(std::find(places.begin(), places.end(), shared.File("tolvane/tov.dct")), places.end());
  EXPECT_EQ(places.back(), std::string(TOLVANE_BINARY_DIR) + "/share/tolvane/tov.dct");

  // The executable's own places come before the data folders; where a build
  // layout puts a dictionary there, that one is found first.
  const auto xdg = std::find(places.begin(), places.end(), shared.File("tolvane/tov.dct"));
  const auto ownEarlier = std::find_if(places.begin(), xdg, [](const std::string& p) {
    return std::filesystem::is_regular_file(p);
  });
  EXPECT_EQ(spell::FindMainDictionary(programDir), ownEarlier != xdg ? *ownEarlier : *xdg);
  spelltest::WriteBytes(home.File("tov.dct"), "own copy");
  EXPECT_EQ(spell::FindMainDictionary(programDir), programDir + "tov.dct");
  ::unsetenv("XDG_DATA_DIRS");
}
