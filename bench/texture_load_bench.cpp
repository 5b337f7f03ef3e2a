// Loads each texture file named on the command line once, as the saver's start does, and prints
// the status and the time each load took, then the process's peak memory. Built natively (stb
// decoding) and for Windows (GDI+, run under wine, where a process's memory is out of sight of
// /usr/bin/time).
//
//   texture_load_bench FILE...
#include <chrono>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include "textures/texture_image.h"

namespace {

double PeakMebibytes() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  return static_cast<double>(memory.PeakWorkingSetSize) / (1 << 20);
#else
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: texture_load_bench FILE...\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    const auto started = std::chrono::steady_clock::now();
    TextureImage* image = new TextureImage;
    const TextureStatus status = image->LoadFromFile(argv[i]);
    const std::chrono::duration<double, std::milli> took =
        std::chrono::steady_clock::now() - started;
    std::printf("%s: %s in %.2f ms (%dx%d)\n", argv[i], status == kTextureOk ? "loaded" : "refused",
                took.count(), image->width, image->height);
    delete image;
  }
  std::printf("peak memory %.1f MiB\n", PeakMebibytes());
  return 0;
}
