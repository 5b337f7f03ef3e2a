#include "tools/run_command.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "raster/raster.h"
#include "animation/saver_cycle.h"
#include "engine/region_fill.h"
#include "textures/texture_image.h"
#include "tools/image_file.h"
#include "tools/render_failure.h"

namespace {

// The textures that load, in the order given; each one that does not is reported and skipped.
std::vector<std::unique_ptr<TextureImage>> LoadTextures(const std::vector<std::string>& paths) {
  std::vector<std::unique_ptr<TextureImage>> images;
  for (const std::string& path : paths) {
    auto image = std::make_unique<TextureImage>();
    const TextureStatus status = image->LoadFromFile(path.c_str());
    if (status == kTextureOk) {
      images.push_back(std::move(image));
      continue;
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(status));
    std::fprintf(stderr, "vesperine-render: texture '%s' left out: cannot load it (%s)\n",
                 path.c_str(), code);
  }
  return images;
}

// The frames written so far, removed again when the run fails.
class FrameWriter {
 public:
  explicit FrameWriter(std::string folder) : folder_(std::move(folder)) {}

  bool Write(const Surface& canvas, std::string& error) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04zu.png", written_.size() + 1);
    const std::string path = (std::filesystem::path(folder_) / name).string();
    if (!SavePng(path, canvas, error)) {
      error = "cannot write '" + path + "': " + error;
      return false;
    }
    written_.push_back(path);
    return true;
  }

  void RemoveAll() {
    std::error_code ignored;
    for (const std::string& path : written_)
      std::filesystem::remove(path, ignored);
    written_.clear();
  }

 private:
  std::string folder_;
  std::vector<std::string> written_;
};

}  // namespace

int RunTicks(const RenderRequest& request) {
  std::string error;
  PixelBuffer snapshot;
  if (!LoadDesktopPicture(request.desktopPath, snapshot, error)) return Fail(kExitFailure, error);
  PixelBuffer work;
  if (!AllocatePixelBuffer(work, snapshot.surface.width, snapshot.surface.height,
                           snapshot.surface.layout)) {
    return Fail(kExitFailure, "out of memory for the work picture");
  }
  CopyRect(work.surface, 0, 0, work.surface.width, work.surface.height, snapshot.surface, 0, 0);

  std::error_code folderError;
  if (!request.framesDir.empty() &&
      !std::filesystem::is_directory(request.framesDir, folderError)) {
    return Fail(kExitFailure, "frames folder '" + request.framesDir + "' does not exist");
  }

  const std::vector<std::unique_ptr<TextureImage>> textures = LoadTextures(request.texturePaths);
  const CycleSettings settings = {request.refreshMs, request.intervalMs, request.threshold};
  const TextureFill fill = [&](int x, int y, int index) {
    return FillWithImage(work.surface, request.threshold, x, y, *textures[index]);
  };

  ResetSaverCycle();
  SeedRandom(request.seed);
  FrameWriter frames(request.framesDir);
  for (int tick = 0; tick < request.ticks; ++tick) {
    const TickOutcome outcome = AnimationTick(work.surface, snapshot.surface, settings,
                                              static_cast<int>(textures.size()), fill);
    if (outcome.repaint && !request.framesDir.empty() && !frames.Write(work.surface, error)) {
      frames.RemoveAll();
      return Fail(kExitFailure, error);
    }
  }
  if (!SavePng(request.outPath, work.surface, error)) {
    frames.RemoveAll();
    return Fail(kExitFailure, "cannot write '" + request.outPath + "': " + error);
  }
  return 0;
}
