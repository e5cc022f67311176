#pragma once
// Window placement: where the main window, the fax editor, the cover editor
// and the fax viewer were last, kept in TLM.INI per screen density, and the
// centring rule for dialogs. Pure geometry, so it is testable without a
// display; the Qt windows apply the results.
#include <string>

namespace tlm {

class ProfileFile;

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

// "<ClassName>_Placement", followed by the pixels per inch when above 96.
std::string PlacementSection(const std::string& windowClass, int pixelsPerInch);

struct RestoredPlacement {
  bool center = true;     // no stored rectangle: centre the window
  Rect rect;              // the rectangle to take when !center
  bool maximized = false;
};

// What RestorePlacement does with the stored section: a stored rectangle
// (non-zero "Bottom") is pulled back on a screen of the given size keeping
// its size; otherwise the window is centred. "Maximized" defaults to
// `currentlyMaximized`.
RestoredPlacement ComputeRestoredPlacement(const ProfileFile& ini, const std::string& windowClass,
                                           int pixelsPerInch, int screenWidth, int screenHeight,
                                           bool currentlyMaximized);

// Moves a rectangle left and up by whatever lies beyond the screen.
Rect PullOntoScreen(Rect r, int screenWidth, int screenHeight);

// Writes the normal rectangle and the maximised flag (no file save).
void WritePlacement(ProfileFile& ini, const std::string& windowClass, int pixelsPerInch,
                    const Rect& normal, bool maximized);

// Centres a window of the given size in `outer`: (outer size - size) / 2,
// rounded toward zero.
Rect CenterIn(const Rect& outer, int width, int height);

// Where CenterWindow puts a window: the main window on the screen, any other
// over the main window, or on the screen when the main window is maximised.
Rect CenterWindowRect(int width, int height, bool isMainWindow, const Rect& screen,
                      const Rect& mainWindow, bool mainWindowMaximized);

}  // namespace tlm
