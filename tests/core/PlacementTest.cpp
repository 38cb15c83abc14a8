#include "core/Placement.h"
#include "core/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace app;

namespace {

class PlacementFile : public ::testing::Test {
protected:
  void SetUp() override {
    m_path =
        (fs::temp_directory_path() / ("tolvane-placement-" + std::to_string(::getpid()) + ".ini"))
            .string();
    fs::remove(m_path);
  }
  void TearDown() override { fs::remove(m_path); }
  std::string m_path;
};

} // namespace

TEST(Placement, SectionNameCarriesDensityAbove96) {
  EXPECT_EQ(PlacementSectionName("TMainScreen", 96), "TMainScreen_Placement");
  EXPECT_EQ(PlacementSectionName("TMainScreen", 72), "TMainScreen_Placement");
  EXPECT_EQ(PlacementSectionName("TMainScreen", 120), "TMainScreen_Placement120");
  EXPECT_EQ(PlacementSectionName("TFaxEditor", 144), "TFaxEditor_Placement144");
}

TEST(Placement, RectanglesAreMovedBackOntoTheScreen) {
  // Wider than the screen's right edge: shifted left, right edge on the screen edge.
  EXPECT_EQ(FitToScreen({300, 100, 1100, 500}, 1024, 768), (PlacementRect{224, 100, 1024, 500}));
  // Too low: moved up.
  EXPECT_EQ(FitToScreen({10, 500, 410, 900}, 1024, 768), (PlacementRect{10, 368, 410, 768}));
  // Larger than the screen: cut at the top left so the title bar stays reachable.
  EXPECT_EQ(FitToScreen({0, 0, 1600, 1200}, 1024, 768), (PlacementRect{0, 0, 1024, 768}));
  // Already on screen: untouched.
  EXPECT_EQ(FitToScreen({5, 6, 50, 60}, 1024, 768), (PlacementRect{5, 6, 50, 60}));
}

TEST_F(PlacementFile, StoredPlacementIsRestoredPerDensity) {
  IniFile ini(m_path);
  WritePlacement(ini, PlacementSectionName("TMainScreen", 96), {1, 2, 301, 202}, false);
  WritePlacement(ini, PlacementSectionName("TMainScreen", 120), {10, 20, 1910, 1020}, true);

  RestoredPlacement at96 = ReadPlacement(ini, "TMainScreen_Placement", false, 1920, 1080);
  EXPECT_FALSE(at96.Centre);
  EXPECT_EQ(at96.Bounds, (PlacementRect{1, 2, 301, 202}));
  EXPECT_FALSE(at96.Maximized);

  RestoredPlacement at120 = ReadPlacement(ini, "TMainScreen_Placement120", false, 1280, 1024);
  EXPECT_FALSE(at120.Centre);
  EXPECT_EQ(at120.Bounds, (PlacementRect{0, 20, 1280, 1020}));
  EXPECT_TRUE(at120.Maximized);
}

TEST_F(PlacementFile, NothingStoredMeansCentredAndCurrentState) {
  IniFile ini(m_path);
  RestoredPlacement none = ReadPlacement(ini, "TViewer_Placement", true, 800, 600);
  EXPECT_TRUE(none.Centre);
  EXPECT_TRUE(none.Maximized);
  ini.WriteInteger("TViewer_Placement", "Left", 40);
  ini.WriteInteger("TViewer_Placement", "Bottom", 0);
  EXPECT_TRUE(ReadPlacement(ini, "TViewer_Placement", false, 800, 600).Centre);
}

TEST(Placement, CentringOverScreenOrMainWindow) {
  const PlacementRect main{100, 50, 901, 651}; // 801 x 601
  // The main window itself, whatever the case of its class name.
  EXPECT_EQ(CenterPosition("TMainScreen", 400, 300, main, false, 1024, 768),
            (PlacementPoint{312, 234}));
  EXPECT_EQ(CenterPosition("TMAINSCREEN", 400, 300, main, false, 1024, 768),
            (PlacementPoint{312, 234}));
  // A dialog over the main window; halves truncate toward zero.
  EXPECT_EQ(CenterPosition("TPreferences", 300, 200, main, false, 1024, 768),
            (PlacementPoint{350, 250}));
  // Larger than the main window: negative offsets are kept, truncated toward zero.
  EXPECT_EQ(CenterPosition("TPreferences", 1002, 802, {0, 0, 801, 601}, false, 1024, 768),
            (PlacementPoint{-100, -100}));
  // The main window maximised: dialogs go to the screen's centre.
  EXPECT_EQ(CenterPosition("TPreferences", 300, 200, main, true, 1024, 768),
            (PlacementPoint{362, 284}));
}
