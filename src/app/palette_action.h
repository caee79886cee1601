// The dialog's "Make palettes": what it asks for and what it shows. The
// palette maker itself links a quantizer that the dialog's logic may not
// (quantize/ sits above src/), so the front end hands the logic a function
// that runs it, and the logic only decides when and shows the outcome.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pixmold {

struct PaletteAction {
  bool ok = false;
  std::string summary;             // one line for the status
  std::vector<std::string> lines;  // the maker's report, or what failed
};

// Makes the palette images of every sheet the markup names (images in
// imageDirectory, with its trailing separator).
using MakePalettesFunction =
    std::function<PaletteAction(const std::string& omkFile, const std::string& imageDirectory)>;

}  // namespace pixmold
