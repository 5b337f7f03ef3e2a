// The command line of vesperine-render: which operation, on which pictures, at which point. It is
// checked whole before any file is opened, so a malformed request touches nothing.
#pragma once

#include <string>
#include <vector>

// ---- Constants -------------------------------------------------------------------------------

constexpr int kDefaultThreshold = 21;

// ---- Types -----------------------------------------------------------------------------------

enum class RenderCommand {
  kHelp,
  kProbe,
  kFill,
};

struct RenderRequest {
  RenderCommand command = RenderCommand::kHelp;
  std::string desktopPath;
  std::string texturePath;  // fill only
  std::string outPath;      // fill only
  int x = 0;
  int y = 0;
  int threshold = kDefaultThreshold;
};

// ---- Functions -------------------------------------------------------------------------------

// Parses the arguments that follow the program name. On a malformed command line returns false with
// a one-line description of the first problem in `error`.
bool ParseCommandLine(const std::vector<std::string>& args, RenderRequest& request,
                      std::string& error);

// The text that --help prints.
const char* UsageText();
