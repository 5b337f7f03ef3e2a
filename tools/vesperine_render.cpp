// vesperine-render: runs the region probe, one textured fill or the saver's timer ticks on picture
// files, without Windows.
#include <cstdio>
#include <string>
#include <vector>

#include "raster/raster.h"
#include "animation/saver_cycle.h"
#include "engine/region_fill.h"
#include "engine/region_probe.h"
#include "textures/texture_image.h"
#include "tools/command_line.h"
#include "tools/image_file.h"
#include "tools/render_failure.h"
#include "tools/run_command.h"
#include "vesperine_version.h"

namespace {

int Run(const RenderRequest& request) {
  std::string error;
  PixelBuffer desktop;
  if (!LoadDesktopPicture(request.desktopPath, desktop, error)) return Fail(kExitFailure, error);
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
  const std::string& texturePath = request.texturePaths.front();  // fill takes exactly one
  if (!LoadTexture(texturePath, texture, error)) {
    return Fail(kExitFailure, "cannot read texture picture '" + texturePath + "': " + error);
  }
  const FillResult filled =
      FillWithImage(desktop.surface, request.threshold, request.x, request.y, texture);
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
  if (request.command == RenderCommand::kVersion) {
    std::printf("vesperine-render %s\n", VESPERINE_VERSION_TEXT);
    return 0;
  }
  if (request.command == RenderCommand::kRun) return RunTicks(request);
  return Run(request);
}
