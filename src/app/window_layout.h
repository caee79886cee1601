// The dialog window as the artist left it: its size and where its two
// splitters stood, kept in Pixmold.layout beside the saved directories so
// the window opens the same way next time. The file is a few lines of
// "NAME NUMBER..." ("window 1280 720", "columns 560 720", "rows 260 400");
// a line that does not read as one of those is skipped and the window keeps
// its own choice for it, so a damaged file never keeps the window from
// opening.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialog_settings.h"

namespace pixmold {

struct WindowLayout {
  int width = 0;  // 0: not saved
  int height = 0;
  std::vector<int> columns;  // widths of the selection side and the preview
  std::vector<int> rows;     // heights of the lists and the report
};

// Sizes beyond this are not a window's.
inline constexpr int kMaxLayoutPixels = 65535;

// $XDG_CONFIG_HOME/pixmold/Pixmold.layout or ~/.config/pixmold/Pixmold.layout;
// empty when neither variable says where the configuration lives.
std::string WindowLayoutPath(const EnvironmentLookup& environment);

// The layout a file's text gives, each line checked on its own.
WindowLayout ParseWindowLayout(std::string_view text);
// None when the file is missing or cannot be read.
std::optional<WindowLayout> ReadWindowLayout(const std::string& path);
// Creates the configuration folder when it is missing.
bool WriteWindowLayout(const std::string& path, const WindowLayout& layout);

}  // namespace pixmold
