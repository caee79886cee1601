// The build driver: takes one request, opens the object's resource file,
// reads the markup into specs, and runs the output passes the request
// switches on, in a fixed order:
//   1  a new object file from a template      8  palette images (two passes)
//   2  open the object file                    9  read the family history
//   3  walls                                  10  (no markup: skip to 14)
//   4  the requested wall style               11  markup pass
//   5  the requested wall pattern             12  sprites, draw groups, wall styles
//   6  floors                                 13  sounds, slots, SPR# lists, attribute
//   7  water                                      strings, skill tables, draw group
//                                                 report, catalogs, tree tables, bitmaps
//                                             14  close the object file
// A fatal error ends the build where it is raised; what was written stays
// written and the object file is closed.
#pragma once

#include "builder/build_args.h"

namespace pixmold {

// 0 when the build ran to its end, 1 when a fatal error ended it (reported as
// "fatal error: %s"). Reports go to the request's stream (standard error when
// it has none) and shared message text.
int RunBuild(BuildArgs& args);

}  // namespace pixmold
