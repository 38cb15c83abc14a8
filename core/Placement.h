#pragma once
// Window placement memory and dialog centring as plain rectangle arithmetic.
// The Qt windows read their geometry into these structs, call the functions
// and apply the result; the rules live here so they can be tested alone.

#include <string>
#include <string_view>

namespace app {

class IniFile;

struct PlacementRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const PlacementRect&) const = default;
};

struct PlacementPoint {
  int Left = 0;
  int Top = 0;
  bool operator==(const PlacementPoint&) const = default;
};

// "<ClassName>_Placement", with the screen's logical pixels per inch appended
// when above 96, so each screen density keeps its own placement.
std::string PlacementSectionName(std::string_view className, int pixelsPerInch);

// Moves a stored rectangle back onto a screen of the given size: a right edge
// beyond the screen moves the rectangle left, a bottom edge beyond it moves
// the rectangle up. A rectangle larger than the screen is then cut at the
// left and top screen edges, so that the title bar stays reachable.
PlacementRect FitToScreen(PlacementRect rect, int screenWidth, int screenHeight);

struct RestoredPlacement {
  bool Centre = true;   // nothing usable stored: centre the window instead
  PlacementRect Bounds; // the window's bounds when Centre is false
  bool Maximized = false;
};

// Reads a placement section. Left/Top/Right/Bottom default to 0, Maximized to
// the window's current state; a stored Bottom of 0 (or an empty rectangle)
// means nothing is stored and the window is centred.
RestoredPlacement ReadPlacement(const IniFile& ini, std::string_view section,
                                bool currentlyMaximized, int screenWidth, int screenHeight);

// Writes the window's normal (non-maximised) rectangle and its maximised state.
void WritePlacement(IniFile& ini, std::string_view section, const PlacementRect& normal,
                    bool maximized);

// Where a window of the given size goes: the main window (class name
// "TMainScreen", any case) and every window while the main window is
// maximised are centred on the screen, others over the main window. Halves
// truncate toward zero; negative positions are kept.
PlacementPoint CenterPosition(std::string_view className, int width, int height,
                              const PlacementRect& mainWindow, bool mainMaximized, int screenWidth,
                              int screenHeight);

} // namespace app
