// The command line of vesperine-render: which operation, on which pictures, at which point or for
// how many ticks. It is checked whole before any file is opened, so a malformed request touches
// nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ---- Constants -------------------------------------------------------------------------------

constexpr int kDefaultThreshold = 21;
constexpr int kDefaultRefreshMs = 50000;
constexpr int kDefaultIntervalMs = 3500;

// ---- Types -----------------------------------------------------------------------------------

enum class RenderCommand {
  kHelp,
  kVersion,
  kProbe,
  kFill,
  kRun,
};

struct RenderRequest {
  RenderCommand command = RenderCommand::kHelp;
  std::string desktopPath;
  std::vector<std::string> texturePaths;  // every --texture, in order (fill takes exactly one)
  std::string outPath;                    // fill and run
  int x = 0;
  int y = 0;
  int threshold = kDefaultThreshold;
  // run only
  std::uint32_t seed = 0;
  int ticks = 0;
  int refreshMs = kDefaultRefreshMs;
  int intervalMs = kDefaultIntervalMs;
  std::string framesDir;  // empty: no frames
};

// ---- Functions -------------------------------------------------------------------------------

// Parses the arguments that follow the program name. On a malformed command line returns false with
// a one-line description of the first problem in `error`.
bool ParseCommandLine(const std::vector<std::string>& args, RenderRequest& request,
                      std::string& error);

// The text that --help prints.
const char* UsageText();
