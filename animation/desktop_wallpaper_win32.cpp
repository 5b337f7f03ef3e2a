#include "animation/desktop_wallpaper_win32.h"

#include <shobjidl.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "animation/monitors_win32.h"
#include "process/system_files_win32.h"
#include "textures/texture_image.h"

namespace {

constexpr int kPathBytes = 512;
constexpr char kDesktopKey[] = "Control Panel\\Desktop";
constexpr CLSID kDesktopWallpaperClass = {
    0xc2cf3110, 0x460e, 0x4fc1, {0xb9, 0xd0, 0x8a, 0x1c, 0x0c, 0x9c, 0xc4, 0xbd}};

using CoInitializeExFn = HRESULT(WINAPI*)(void*, DWORD);
using CoUninitializeFn = void(WINAPI*)();
using CoCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, REFIID, void**);
using CoTaskMemFreeFn = void(WINAPI*)(void*);

// A number the system keeps as decimal text ("10"), or now and then as a DWORD; 0 when missing.
int ReadDesktopNumber(HKEY key, const char* name) {
  char text[32] = {};
  DWORD type = 0;
  DWORD size = sizeof text - 1;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
      ERROR_SUCCESS)
    return 0;
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD value = 0;
    std::memcpy(&value, text, sizeof value);
    return static_cast<int>(value);
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return 0;
  text[sizeof text - 1] = '\0';
  return static_cast<int>(std::strtol(text, nullptr, 10));
}

WallpaperStyle ReadWallpaperStyle() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return WallpaperStyle::kCenter;
  const int style = ReadDesktopNumber(key, "WallpaperStyle");
  const int tile = ReadDesktopNumber(key, "TileWallpaper");
  RegCloseKey(key);
  return WallpaperStyleFromValues(style, tile);
}

// A wide path in the ANSI code page that the texture loader takes; empty when it does not convert
// whole (the monitor then takes the wallpaper SPI_GETDESKWALLPAPER names).
std::string NarrowPath(const wchar_t* path) {
  char narrow[kPathBytes] = {};
  BOOL lossy = FALSE;
  if (WideCharToMultiByte(CP_ACP, 0, path, -1, narrow, kPathBytes, nullptr, &lossy) == 0 || lossy)
    return {};
  return narrow;
}

bool SameRect(const RECT& a, const MonitorRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The per-monitor wallpapers of IDesktopWallpaper (Windows 8 and later), matched to `monitors`
// (screen coordinates) by their rectangles. Where the system has no such object, nothing is set.
void ReadMonitorWallpapers(const std::vector<MonitorRect>& monitors,
                           std::vector<std::string>& paths) {
  HMODULE ole = LoadSystemLibrary("ole32.dll");
  if (!ole) return;
  const auto initialize = FindEntry<CoInitializeExFn>(ole, "CoInitializeEx");
  const auto uninitialize = FindEntry<CoUninitializeFn>(ole, "CoUninitialize");
  const auto create = FindEntry<CoCreateInstanceFn>(ole, "CoCreateInstance");
  const auto release = FindEntry<CoTaskMemFreeFn>(ole, "CoTaskMemFree");
  if (initialize && uninitialize && create && release) {
    const HRESULT started = initialize(nullptr, COINIT_APARTMENTTHREADED);
    IDesktopWallpaper* wallpaper = nullptr;
    if (SUCCEEDED(create(kDesktopWallpaperClass, nullptr, CLSCTX_ALL, __uuidof(IDesktopWallpaper),
                         reinterpret_cast<void**>(&wallpaper))) &&
        wallpaper) {
      UINT count = 0;
      wallpaper->GetMonitorDevicePathCount(&count);
      for (UINT i = 0; i < count; ++i) {
        wchar_t* id = nullptr;
        if (FAILED(wallpaper->GetMonitorDevicePathAt(i, &id)) || !id) continue;
        RECT area = {};
        wchar_t* path = nullptr;
        if (SUCCEEDED(wallpaper->GetMonitorRECT(id, &area)) &&
            SUCCEEDED(wallpaper->GetWallpaper(id, &path)) && path) {
          for (std::size_t m = 0; m < monitors.size(); ++m) {
            if (SameRect(area, monitors[m])) paths[m] = NarrowPath(path);
          }
        }
        if (path) release(path);
        release(id);
      }
      wallpaper->Release();
    }
    if (SUCCEEDED(started)) uninitialize();
  }
  FreeLibrary(ole);
}

std::string SystemWallpaperPath() {
  char path[kPathBytes] = {};
  if (!SystemParametersInfoA(SPI_GETDESKWALLPAPER, kPathBytes, path, 0)) return {};
  path[kPathBytes - 1] = '\0';
  return path;
}

// The decoded pictures, one per distinct file.
struct Picture {
  std::string path;
  std::unique_ptr<TextureImage> image;
};

const Surface* LoadPicture(std::vector<Picture>& pictures, const std::string& path, Surface& view) {
  if (path.empty()) return nullptr;
  Picture* found = nullptr;
  for (Picture& p : pictures) {
    if (p.path == path) found = &p;
  }
  if (!found) {
    pictures.push_back({path, std::make_unique<TextureImage>()});
    found = &pictures.back();
    if (found->image->LoadFromFile(path.c_str()) != kTextureOk) found->image.reset();
  }
  if (!found->image) return nullptr;
  view = found->image->AsSurface();
  return &view;
}

}  // namespace

bool OnSecureDesktop() {
  // Windows 95, 98 and Me have no desktops of their own: looked up, never imported.
  using GetThreadDesktopFn = HDESK(WINAPI*)(DWORD);
  using GetUserObjectInformationFn = BOOL(WINAPI*)(HANDLE, int, void*, DWORD, DWORD*);
  HMODULE user = GetModuleHandleA("user32.dll");
  const auto threadDesktop = FindEntry<GetThreadDesktopFn>(user, "GetThreadDesktop");
  const auto objectInformation =
      FindEntry<GetUserObjectInformationFn>(user, "GetUserObjectInformationA");
  if (!threadDesktop || !objectInformation) return false;
  char name[128] = {};
  DWORD needed = 0;
  HDESK desktop = threadDesktop(GetCurrentThreadId());
  if (!desktop || !objectInformation(desktop, UOI_NAME, name, sizeof name - 1, &needed))
    return false;
  return lstrcmpiA(name, kUserDesktopName) != 0;
}

void PaintDesktopWallpaper(Surface& canvas, const std::vector<MonitorRect>& monitors,
                           POINT canvasScreenOrigin) {
  const WallpaperStyle style = ReadWallpaperStyle();
  const ColorRef background = GetSysColor(COLOR_DESKTOP);
  std::vector<std::string> paths(monitors.size());
  // A spanned picture is one file across every monitor.
  if (style != WallpaperStyle::kSpan)
    ReadMonitorWallpapers(Shifted(monitors, canvasScreenOrigin.x, canvasScreenOrigin.y), paths);
  const std::string systemPath = SystemWallpaperPath();
  std::vector<Picture> pictures;
  const MonitorRect spanArea = BoundingRect(monitors);
  for (std::size_t m = 0; m < monitors.size(); ++m) {
    Surface view;
    const Surface* picture = LoadPicture(pictures, paths[m].empty() ? systemPath : paths[m], view);
    LayOutWallpaper(canvas, monitors[m], picture, style, background, spanArea);
  }
}
