#include "imaging/drawing_port.h"

namespace pixmold {

namespace {

DrawingPort gPort;

}  // namespace

void SetPort(const DrawingPort& port) { gPort = port; }

DrawingPort GetPort() { return gPort; }

void SetPortSurface(Offscreen* surface) { gPort.surface = surface; }

}  // namespace pixmold
