#include "app/core/placement.h"

#include "platform/profile_file.h"

namespace tlm {

std::string PlacementSection(const std::string& windowClass, int pixelsPerInch) {
  std::string name = windowClass + "_Placement";
  if (pixelsPerInch > 96) name += std::to_string(pixelsPerInch);
  return name;
}

Rect PullOntoScreen(Rect r, int screenWidth, int screenHeight) {
  if (r.right > screenWidth) {
    r.left -= r.right - screenWidth;
    r.right = screenWidth;
  }
  if (r.bottom > screenHeight) {
    r.top -= r.bottom - screenHeight;
    r.bottom = screenHeight;
  }
  return r;
}

RestoredPlacement ComputeRestoredPlacement(const ProfileFile& ini, const std::string& windowClass,
                                           int pixelsPerInch, int screenWidth, int screenHeight,
                                           bool currentlyMaximized) {
  const std::string section = PlacementSection(windowClass, pixelsPerInch);
  RestoredPlacement result;
  Rect stored;
  stored.left = ini.ReadInteger(section, "Left", 0);
  stored.top = ini.ReadInteger(section, "Top", 0);
  stored.right = ini.ReadInteger(section, "Right", 0);
  stored.bottom = ini.ReadInteger(section, "Bottom", 0);
  if (stored.bottom != 0) {
    result.center = false;
    result.rect = PullOntoScreen(stored, screenWidth, screenHeight);
  }
  result.maximized = ini.ReadBool(section, "Maximized", currentlyMaximized);
  return result;
}

void WritePlacement(ProfileFile& ini, const std::string& windowClass, int pixelsPerInch,
                    const Rect& normal, bool maximized) {
  const std::string section = PlacementSection(windowClass, pixelsPerInch);
  ini.WriteInteger(section, "Left", normal.left);
  ini.WriteInteger(section, "Top", normal.top);
  ini.WriteInteger(section, "Right", normal.right);
  ini.WriteInteger(section, "Bottom", normal.bottom);
  ini.WriteBool(section, "Maximized", maximized);
}

Rect CenterIn(const Rect& outer, int width, int height) {
  Rect r;
  r.left = outer.left + (outer.Width() - width) / 2;
  r.top = outer.top + (outer.Height() - height) / 2;
  r.right = r.left + width;
  r.bottom = r.top + height;
  return r;
}

Rect CenterWindowRect(int width, int height, bool isMainWindow, const Rect& screen,
                      const Rect& mainWindow, bool mainWindowMaximized) {
  if (isMainWindow || mainWindowMaximized) return CenterIn(screen, width, height);
  return CenterIn(mainWindow, width, height);
}

}  // namespace tlm
