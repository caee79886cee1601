// A small furnished object from the generator under tools/, laid out as an
// artist's two trees: the object file under DATA/Objects/, its markup and
// sheets in their own folder under CONTENT/Sprites/. Tests that need a build
// to write real sprites and draw groups start from it; small cells (the
// default) keep the generator and the build to a second or two.
#pragma once

#include <string>

namespace pixmold::testing {

// False when the generator's Python modules are missing; tests skip then.
bool DemoGeneratorCanRun();

// Writes DATA/Objects/NAME.iff and .spf and CONTENT/Sprites/NAME/NAME.omk
// with its sheets, passing the generator the arguments given; empty on
// success, else what failed.
std::string MakeDemoObject(const std::string& dataDirectory, const std::string& contentDirectory,
                           const std::string& name = "tableset",
                           const std::string& arguments = "--lwidth 64 --lheight 80");

}  // namespace pixmold::testing
