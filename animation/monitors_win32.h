// The virtual screen and its monitors as the system reports them now, in screen coordinates
// (the primary monitor's top-left corner is (0, 0)).
#pragma once

#include <windows.h>

#include <vector>

#include "animation/monitor_layout.h"

// ---- Types -----------------------------------------------------------------------------------

struct MonitorSetup {
  RECT virtualScreen = {};
  std::vector<MonitorRect> monitors;  // never empty: the virtual screen when none can be listed
  MonitorRect primary;                // the monitor that holds (0, 0), or the virtual screen
};

// ---- Functions -------------------------------------------------------------------------------

// SM_XVIRTUALSCREEN, SM_YVIRTUALSCREEN, SM_CXVIRTUALSCREEN and SM_CYVIRTUALSCREEN; when the
// width or height is 0 (systems without a virtual screen), the clip box of the screen's DC.
RECT VirtualScreenRect();

// The virtual screen and every monitor on it. EnumDisplayMonitors is looked up at run time: a
// system without it has one monitor, the virtual screen.
MonitorSetup ReadMonitorSetup();

// The rectangles moved by (dx, dy).
MonitorRect Shifted(const MonitorRect& rect, int dx, int dy);
std::vector<MonitorRect> Shifted(const std::vector<MonitorRect>& rects, int dx, int dy);
