// vesperine-render: runs the region probe, one textured fill or the saver's timer ticks on picture
// files, without Windows.
#include <cstdio>
#include <string>
#include <vector>

#include "animation/raster.h"
#include "engine/region_fill.h"
#include "engine/region_probe.h"
#include "settings/texture_image.h"
#include "tools/command_line.h"
#include "tools/image_file.h"
#include "tools/run_command.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "vesperine-render: %s\n", message.c_str());
  return status;
}

int Run(const RenderRequest& request) {
  std::string error;
  PixelBuffer desktop;
  if (!LoadPicture(request.desktopPath, desktop, false, error)) {
    return Fail(kExitFailure,
                "cannot read desktop picture '" + request.desktopPath + "': " + error);
  }
  const Surface& canvas = desktop.surface;
  if (request.x < 0 || request.x >= canvas.width || request.y < 0 || request.y >= canvas.height) {
    return Fail(kExitUsage, "point " + std::to_string(request.x) + "," + std::to_string(request.y) +
                                " lies outside the " + std::to_string(canvas.width) + "x" +
                                std::to_string(canvas.height) + " desktop picture");
  }

  if (request.command == RenderCommand::kProbe) {
    ProbeResult result = ProbeRegion(canvas, request.threshold, request.x, request.y);
    if (result == ProbeResult::kOutOfMemory) {
      return Fail(kExitFailure, "out of memory while probing the area");
    }
    std::puts(result == ProbeResult::kAccepted ? "1" : "0");
    if (std::fflush(stdout) != 0) return Fail(kExitFailure, "cannot write the answer");
    return 0;
  }

  TextureImage texture;
  if (!LoadTexture(request.texturePath, texture, error)) {
    return Fail(kExitFailure,
                "cannot read texture picture '" + request.texturePath + "': " + error);
  }
  texture.AcquireDC();
  const FillResult filled =
      FillRegion(desktop.surface, request.threshold, request.x, request.y, texture.AsSurface());
  texture.RelinquishDC();
  if (filled == FillResult::kOutOfMemory) {
    return Fail(kExitFailure, "out of memory while filling the area");
  }
  if (!SavePng(request.outPath, canvas, error)) {
    return Fail(kExitFailure, "cannot write '" + request.outPath + "': " + error);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  RenderRequest request;
  std::string error;
  if (!ParseCommandLine(args, request, error)) return Fail(kExitUsage, error);
  if (request.command == RenderCommand::kHelp) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (request.command == RenderCommand::kRun) return RunTicks(request);
  return Run(request);
}
