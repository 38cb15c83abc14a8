#include "core/Placement.h"

#include "core/IniFile.h"

#include <algorithm>
#include <cctype>

namespace app {

std::string PlacementSectionName(std::string_view className, int pixelsPerInch) {
  std::string name = std::string(className) + "_Placement";
  if (pixelsPerInch > 96)
    name += std::to_string(pixelsPerInch);
  return name;
}

PlacementRect FitToScreen(PlacementRect r, int screenWidth, int screenHeight) {
  if (screenWidth < r.Right) {
    r.Left -= r.Right - screenWidth;
    r.Right = screenWidth;
  }
  if (screenHeight < r.Bottom) {
    r.Top -= r.Bottom - screenHeight;
    r.Bottom = screenHeight;
  }
  r.Left = std::max(r.Left, 0);
  r.Top = std::max(r.Top, 0);
  return r;
}

RestoredPlacement ReadPlacement(const IniFile& ini, std::string_view section,
                                bool currentlyMaximized, int screenWidth, int screenHeight) {
  PlacementRect stored;
  stored.Left = ini.ReadInteger(section, "Left", stored.Left);
  stored.Top = ini.ReadInteger(section, "Top", stored.Top);
  stored.Right = ini.ReadInteger(section, "Right", stored.Right);
  stored.Bottom = ini.ReadInteger(section, "Bottom", stored.Bottom);

  RestoredPlacement result;
  result.Maximized = ini.ReadBool(section, "Maximized", currentlyMaximized);
  // A rectangle with no area cannot be a window's; treat it as not stored.
  if (stored.Bottom != 0 && stored.Width() > 0 && stored.Height() > 0) {
    result.Centre = false;
    result.Bounds = FitToScreen(stored, screenWidth, screenHeight);
  }
  return result;
}

void WritePlacement(IniFile& ini, std::string_view section, const PlacementRect& normal,
                    bool maximized) {
  ini.WriteInteger(section, "Left", normal.Left);
  ini.WriteInteger(section, "Top", normal.Top);
  ini.WriteInteger(section, "Right", normal.Right);
  ini.WriteInteger(section, "Bottom", normal.Bottom);
  ini.WriteBool(section, "Maximized", maximized);
}

namespace {
bool isMainWindowClass(std::string_view className) {
  std::string upper(className);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper == "TMAINSCREEN";
}
} // namespace

PlacementPoint CenterPosition(std::string_view className, int width, int height,
                              const PlacementRect& mainWindow, bool mainMaximized, int screenWidth,
                              int screenHeight) {
  if (isMainWindowClass(className) || mainMaximized)
    return {(screenWidth - width) / 2, (screenHeight - height) / 2};
  return {mainWindow.Left + (mainWindow.Width() - width) / 2,
          mainWindow.Top + (mainWindow.Height() - height) / 2};
}

} // namespace app
