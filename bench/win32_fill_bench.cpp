// The whole-canvas fill on the Windows binding, run under wine: the same cases as
// BM_FillUniform/3840/2160 and BM_FillMaze/1920/1080 of vesperine_bench, but on a GDI canvas made
// the way CaptureCanvases makes them (a top-down DIB section in the screen's format selected into
// a memory DC compatible with the screen) and with textures decoded from PNG files through GDI+ by
// the saver's TextureImage, each fill run as a timer tick runs it: flush GDI, acquire the
// texture's DC, FillRegion, relinquish the DC.
//
//   win32_fill_bench UNIFORM_A.png UNIFORM_B.png PATTERN.png [REPETITIONS [screen]]
//
// With "screen", only the uniform case runs, on a canvas of the virtual screen's size.
// The first two are 64x64 textures of #C0A020 and #406080, the third the 64x64 pattern of the
// native benchmark. Prints one line per case: name, median and fastest of the repetitions' mean
// times in milliseconds, iterations per repetition. A last line runs the uniform case on plain
// memory canvases, to tell the cost of the Windows build and runtime from that of GDI.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "animation/canvas_win32.h"
#include "animation/monitors_win32.h"
#include "raster/raster.h"
#include "animation/saver_cycle.h"
#include "engine/region_fill.h"
#include "process/xmm_state_win32.h"
#include "textures/texture_image.h"

namespace {

constexpr int kThreshold = 21;

struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  Surface pixels;
};

// As CaptureCanvases builds each canvas, without the copy from the screen.
Canvas MakeCanvas(int width, int height) {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  // 16-bit screens are left out: their 5-6-5 canvases would need the screen's masks.
  const PixelLayout layout = CanvasLayoutForScreen(bits == 16 ? 32 : bits, 0);
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info = {};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = -height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(BitsPerPixel(layout));
  info.header.biCompression = BI_RGB;
  Canvas canvas;
  canvas.dc = CreateCompatibleDC(screen);
  void* bitsPointer = nullptr;
  canvas.bitmap = CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&info),
                                   DIB_RGB_COLORS, &bitsPointer, nullptr, 0);
  SelectObject(canvas.dc, canvas.bitmap);
  ReleaseDC(nullptr, screen);
  if (!canvas.bitmap || !bitsPointer) {
    std::fprintf(stderr, "win32_fill_bench: no %dx%d DIB section\n", width, height);
    std::exit(1);
  }
  canvas.pixels.width = width;
  canvas.pixels.height = height;
  canvas.pixels.layout = layout;
  canvas.pixels.pitch = static_cast<std::ptrdiff_t>(DibRowBytes(width, layout));
  canvas.pixels.bits = static_cast<std::uint8_t*>(bitsPointer);
  return canvas;
}

// Paints with GDI, as the desktop the saver captures would be.
void Paint(Canvas& canvas, int left, int top, int right, int bottom, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  const RECT area = {left, top, right, bottom};
  FillRect(canvas.dc, &area, brush);
  DeleteObject(brush);
}

TextureImage* LoadTexture(const char* path) {
  TextureImage* image = new TextureImage();
  if (image->LoadFromFile(path) != kTextureOk) {
    std::fprintf(stderr, "win32_fill_bench: %s did not load\n", path);
    std::exit(1);
  }
  return image;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// One fill as the saver's timer tick runs it.
void TickFill(Canvas& canvas, TextureImage* texture, int x, int y) {
  GdiFlush();
  if (FillWithImage(canvas.pixels, kThreshold, x, y, *texture) != FillResult::kFilled) {
    std::fprintf(stderr, "win32_fill_bench: out of memory\n");
    std::exit(1);
  }
}

void Report(const char* name, std::vector<double> means, int iterations) {
  std::sort(means.begin(), means.end());
  std::printf("%s median_ms %.3f fastest_ms %.3f iterations %d repetitions %zu\n", name,
              means[means.size() / 2], means.front(), iterations, means.size());
  std::fflush(stdout);
}

// The texture's colour where the fill must have put it, as a check that the fill ran.
void ExpectPixel(const Canvas& canvas, int x, int y, ColorRef expected, const char* name) {
  const ColorRef found = ReadPixel(canvas.pixels, x, y);
  if (found != expected) {
    std::fprintf(stderr, "win32_fill_bench: %s left %06lx at (%d,%d), expected %06lx\n", name,
                 static_cast<unsigned long>(found), x, y, static_cast<unsigned long>(expected));
    std::exit(1);
  }
}

void BenchUniform(TextureImage* first, TextureImage* second, int repetitions, int width = 3840,
                  int height = 2160) {
  Canvas canvas = MakeCanvas(width, height);
  Paint(canvas, 0, 0, width, height, RGB(0x40, 0x60, 0x80));
  GdiFlush();
  TextureImage* textures[2] = {first, second};
  const int iterations = 6;  // even: every repetition starts on the canvas's own colour
  std::vector<double> means;
  TickFill(canvas, textures[0], 17, 23);  // warm-up, then back
  TickFill(canvas, textures[1], 17, 23);
  for (int repetition = 0; repetition < repetitions; ++repetition) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < iterations; ++i)
      TickFill(canvas, textures[i & 1], 17, 23);
    QueryPerformanceCounter(&end);
    means.push_back(Milliseconds(start, end) / iterations);
  }
  TickFill(canvas, textures[0], 17, 23);
  ExpectPixel(canvas, width - 1, height - 1, RGB(0xC0, 0xA0, 0x20), "the uniform fill");
  const std::string name = "BM_FillUniform/" + std::to_string(width) + "/" + std::to_string(height);
  Report(name.c_str(), means, iterations);
}

void BenchMaze(TextureImage* pattern, int repetitions) {
  constexpr int kWidth = 1920, kHeight = 1080;
  Canvas canvas = MakeCanvas(kWidth, kHeight);
  Paint(canvas, 0, 0, kWidth, kHeight, RGB(0x20, 0x20, 0x20));
  for (int x = 1; x < kWidth; x += 2) {
    const int gap = (x / 2) % 2 == 0 ? kHeight - 1 : 0;
    if (gap == 0) {
      Paint(canvas, x, 1, x + 1, kHeight, RGB(0xE0, 0xE0, 0xE0));
    } else {
      Paint(canvas, x, 0, x + 1, kHeight - 1, RGB(0xE0, 0xE0, 0xE0));
    }
  }
  GdiFlush();
  const std::size_t bytes = static_cast<std::size_t>(canvas.pixels.pitch) * kHeight;
  std::vector<std::uint8_t> picture(canvas.pixels.bits, canvas.pixels.bits + bytes);
  const int iterations = 4;
  std::vector<double> means;
  for (int repetition = 0; repetition < repetitions; ++repetition) {
    double total = 0;
    for (int i = 0; i < iterations; ++i) {
      std::memcpy(canvas.pixels.bits, picture.data(), bytes);
      LARGE_INTEGER start, end;
      QueryPerformanceCounter(&start);
      TickFill(canvas, pattern, 0, 0);
      QueryPerformanceCounter(&end);
      total += Milliseconds(start, end);
    }
    means.push_back(total / iterations);
  }
  // The corridor's far end, in the last even column, holds the pattern's pixel there.
  const Surface texture = pattern->AsSurface();
  ExpectPixel(canvas, kWidth - 2, kHeight - 1,
              ReadPixel(texture, (kWidth - 2) % texture.width, (kHeight - 1) % texture.height),
              "the maze fill");
  Report("BM_FillMaze/1920/1080", means, iterations);
}

// The uniform case once more on plain memory (a PixelBuffer canvas and textures, as the native
// benchmark uses) in the same program: what the compiler and runtime cost, apart from GDI.
void BenchUniformInMemory(int repetitions) {
  PixelBuffer canvas, textures[2];
  if (!AllocatePixelBuffer(canvas, 3840, 2160, PixelLayout::kBgrx32) ||
      !AllocatePixelBuffer(textures[0], 64, 64, PixelLayout::kBgrx32) ||
      !AllocatePixelBuffer(textures[1], 64, 64, PixelLayout::kBgrx32)) {
    std::fprintf(stderr, "win32_fill_bench: out of memory\n");
    std::exit(1);
  }
  const std::uint32_t colors[3] = {0x406080, 0xC0A020, 0x406080};
  PixelBuffer* buffers[3] = {&canvas, &textures[0], &textures[1]};
  for (int i = 0; i < 3; ++i) {
    Surface& surface = buffers[i]->surface;
    for (int y = 0; y < surface.height; ++y) {
      std::uint32_t* row = reinterpret_cast<std::uint32_t*>(SurfaceRow(surface, y));
      std::fill(row, row + surface.width, colors[i]);
    }
  }
  const int iterations = 6;
  std::vector<double> means;
  for (int repetition = 0; repetition < repetitions; ++repetition) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < iterations; ++i)
      FillRegion(canvas.surface, kThreshold, 17, 23, textures[i & 1].surface);
    QueryPerformanceCounter(&end);
    means.push_back(Milliseconds(start, end) / iterations);
  }
  Report("BM_FillUniform/3840/2160/memory", means, iterations);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: win32_fill_bench UNIFORM_A.png UNIFORM_B.png PATTERN.png [N [screen]]\n");
    return 2;
  }
  const int repetitions = argc > 4 ? std::max(1, std::atoi(argv[4])) : 7;
  SetSystemSavesXmm(SystemSavesXmm());  // as the saver's start-up does
  TextureImage* first = LoadTexture(argv[1]);
  TextureImage* second = LoadTexture(argv[2]);
  TextureImage* pattern = LoadTexture(argv[3]);
  if (argc > 5 && std::strcmp(argv[5], "screen") == 0) {
    // The uniform case on a canvas of the virtual screen's size, as the saver captures it.
    const RECT screen = VirtualScreenRect();
    BenchUniform(first, second, repetitions, screen.right - screen.left,
                 screen.bottom - screen.top);
  } else {
    BenchUniform(first, second, repetitions);
    BenchMaze(pattern, repetitions);
    BenchUniformInMemory(repetitions);
  }
  delete first;
  delete second;
  delete pattern;
  return 0;
}
