#include "animation/monitors_win32.h"

#include "process/system_files_win32.h"

namespace {

using EnumDisplayMonitorsFn = BOOL(WINAPI*)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
using GetMonitorInfoFn = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);

struct MonitorWalk {
  GetMonitorInfoFn getInfo;
  MonitorSetup* setup;
  bool primaryFound;
};

MonitorRect FromRect(const RECT& r) {
  return {r.left, r.top, r.right, r.bottom};
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT area, LPARAM data) {
  auto* walk = reinterpret_cast<MonitorWalk*>(data);
  const MonitorRect rect = FromRect(*area);
  walk->setup->monitors.push_back(rect);
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (walk->getInfo && walk->getInfo(monitor, &info) && (info.dwFlags & MONITORINFOF_PRIMARY)) {
    walk->setup->primary = rect;
    walk->primaryFound = true;
  }
  return TRUE;
}

}  // namespace

RECT VirtualScreenRect() {
  RECT area = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (width == 0 || height == 0) {
    HDC screen = GetDC(nullptr);
    GetClipBox(screen, &area);
    ReleaseDC(nullptr, screen);
    return area;
  }
  area.right = area.left + width;
  area.bottom = area.top + height;
  return area;
}

MonitorSetup ReadMonitorSetup() {
  MonitorSetup setup;
  setup.virtualScreen = VirtualScreenRect();
  HMODULE user = GetModuleHandleA("user32.dll");
  const auto enumerate = FindEntry<EnumDisplayMonitorsFn>(user, "EnumDisplayMonitors");
  MonitorWalk walk = {FindEntry<GetMonitorInfoFn>(user, "GetMonitorInfoA"), &setup, false};
  if (enumerate) enumerate(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&walk));
  if (setup.monitors.empty()) setup.monitors.push_back(FromRect(setup.virtualScreen));
  if (!walk.primaryFound) {
    setup.primary = setup.monitors.front();
    for (const MonitorRect& m : setup.monitors) {
      if (m.left <= 0 && 0 < m.right && m.top <= 0 && 0 < m.bottom) setup.primary = m;
    }
  }
  return setup;
}

MonitorRect Shifted(const MonitorRect& rect, int dx, int dy) {
  return {rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
}

std::vector<MonitorRect> Shifted(const std::vector<MonitorRect>& rects, int dx, int dy) {
  std::vector<MonitorRect> moved;
  moved.reserve(rects.size());
  for (const MonitorRect& r : rects)
    moved.push_back(Shifted(r, dx, dy));
  return moved;
}
