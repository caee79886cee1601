// The current drawing target, in the manner of a port-based drawing library:
// a window (an opaque token here, since the build never draws on screen)
// and the surface that drawing goes to. Offscreens make themselves the
// current port while they are drawn into and put the old one back after.
//
// The port is process-wide and unguarded; only the build's worker thread
// draws.
#pragma once

namespace pixmold {

class Offscreen;

struct DrawingPort {
  const void* window = nullptr;
  Offscreen* surface = nullptr;  // what "gPort.dc" names

  friend bool operator==(const DrawingPort&, const DrawingPort&) = default;
};

void SetPort(const DrawingPort& port);
DrawingPort GetPort();
void SetPortSurface(Offscreen* surface);

}  // namespace pixmold
