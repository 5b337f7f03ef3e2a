#include "tools/command_line.h"

#include <charconv>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace {

enum class Option {
  kDesktop,
  kTexture,
  kAt,
  kThreshold,
  kOut,
  kSeed,
  kTicks,
  kRefreshMs,
  kIntervalMs,
  kFrames,
  kCount,
};

// Sets of commands, one bit each.
constexpr unsigned kProbe = 1u << static_cast<int>(RenderCommand::kProbe);
constexpr unsigned kFill = 1u << static_cast<int>(RenderCommand::kFill);
constexpr unsigned kRun = 1u << static_cast<int>(RenderCommand::kRun);

struct OptionInfo {
  const char* name;
  unsigned appliesTo;
  unsigned requiredBy;
};

constexpr OptionInfo kOptions[] = {
    {"--desktop", kProbe | kFill | kRun, kProbe | kFill | kRun},
    {"--texture", kFill | kRun, kFill | kRun},
    {"--at", kProbe | kFill, kProbe | kFill},
    {"--threshold", kProbe | kFill | kRun, 0},
    {"--out", kFill | kRun, kFill | kRun},
    {"--seed", kRun, kRun},
    {"--ticks", kRun, kRun},
    {"--refresh-ms", kRun, 0},
    {"--interval-ms", kRun, 0},
    {"--frames", kRun, 0},
};
static_assert(sizeof(kOptions) / sizeof(kOptions[0]) == static_cast<int>(Option::kCount));

enum class NumberStatus { kOk, kNotANumber, kOutOfRange };

// A decimal integer with an optional minus sign and nothing around it.
NumberStatus ParseInt32(std::string_view text, int& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  std::int32_t parsed = 0;
  auto [stop, ec] = std::from_chars(begin, end, parsed);
  if (ec == std::errc::result_out_of_range && stop == end) return NumberStatus::kOutOfRange;
  if (ec != std::errc() || stop != end || text.empty()) return NumberStatus::kNotANumber;
  value = parsed;
  return NumberStatus::kOk;
}

// A decimal integer from 0 to 4294967295.
bool ParseUint32(std::string_view text, std::uint32_t& value) {
  const char* end = text.data() + text.size();
  auto [stop, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && stop == end && !text.empty();
}

bool StoreInt32(const char* name, const std::string& value, int& field, std::string& error) {
  switch (ParseInt32(value, field)) {
    case NumberStatus::kOk:
      return true;
    case NumberStatus::kOutOfRange:
      error = std::string(name) + " '" + value + "' is out of range (-2147483648 to 2147483647)";
      return false;
    case NumberStatus::kNotANumber:
      break;
  }
  error = std::string(name) + " '" + value + "' is not a whole number";
  return false;
}

bool ParsePoint(std::string_view text, int& x, int& y) {
  std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return false;
  return ParseInt32(text.substr(0, comma), x) == NumberStatus::kOk &&
         ParseInt32(text.substr(comma + 1), y) == NumberStatus::kOk;
}

bool StoreValue(Option option, const std::string& value, RenderRequest& request,
                std::string& error) {
  switch (option) {
    case Option::kDesktop:
      request.desktopPath = value;
      return true;
    case Option::kTexture:
      request.texturePaths.push_back(value);
      return true;
    case Option::kOut:
      request.outPath = value;
      return true;
    case Option::kAt:
      if (ParsePoint(value, request.x, request.y)) return true;
      error = "--at '" + value + "' is not X,Y with two whole numbers";
      return false;
    case Option::kThreshold:
      return StoreInt32("--threshold", value, request.threshold, error);
    case Option::kRefreshMs:
      return StoreInt32("--refresh-ms", value, request.refreshMs, error);
    case Option::kIntervalMs:
      return StoreInt32("--interval-ms", value, request.intervalMs, error);
    case Option::kSeed:
      if (ParseUint32(value, request.seed)) return true;
      error = "--seed '" + value + "' is not a whole number from 0 to 4294967295";
      return false;
    case Option::kTicks:
      if (ParseInt32(value, request.ticks) == NumberStatus::kOk && request.ticks >= 0) return true;
      error = "--ticks '" + value + "' is not a whole number from 0 to 2147483647";
      return false;
    case Option::kFrames:
      request.framesDir = value;
      return true;
    case Option::kCount:
      break;
  }
  return false;
}

const char* CommandName(RenderCommand command) {
  switch (command) {
    case RenderCommand::kProbe:
      return "probe";
    case RenderCommand::kFill:
      return "fill";
    default:
      return "run";
  }
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, RenderRequest& request,
                      std::string& error) {
  request = RenderRequest();
  if (args.empty()) {
    error = "missing command: probe, fill or run (see --help)";
    return false;
  }
  const std::string& command = args[0];
  if (command == "--help" || command == "-h") {
    request.command = RenderCommand::kHelp;
    return true;
  }
  if (command == "--version") {
    if (args.size() == 1) {
      request.command = RenderCommand::kVersion;
      return true;
    }
    error = "--version takes no arguments";
    return false;
  }
  if (command == "probe") {
    request.command = RenderCommand::kProbe;
  } else if (command == "fill") {
    request.command = RenderCommand::kFill;
  } else if (command == "run") {
    request.command = RenderCommand::kRun;
  } else if (command.compare(0, 1, "-") == 0) {
    error = "missing command: probe, fill or run must come before '" + command + "' (see --help)";
    return false;
  } else {
    error = "unknown command '" + command + "': expected probe, fill or run (see --help)";
    return false;
  }

  const unsigned commandBit = 1u << static_cast<int>(request.command);
  bool seen[static_cast<int>(Option::kCount)] = {};
  // Every option takes a value, so the argument after a name is always its value, even when it
  // starts with a minus sign (a negative threshold).
  for (std::size_t i = 1; i < args.size(); i += 2) {
    const std::string& name = args[i];
    if (name == "--help" || name == "-h") {
      request.command = RenderCommand::kHelp;
      return true;
    }
    int index = 0;
    while (index < static_cast<int>(Option::kCount) && name != kOptions[index].name)
      ++index;
    if (index == static_cast<int>(Option::kCount)) {
      error = (name.compare(0, 1, "-") == 0 ? "unknown option '" : "unexpected argument '") + name +
              "'";
      return false;
    }
    if ((kOptions[index].appliesTo & commandBit) == 0) {
      error = "option " + name + " does not apply to " + CommandName(request.command);
      return false;
    }
    // A run may take several textures.
    const bool repeatable =
        request.command == RenderCommand::kRun && index == static_cast<int>(Option::kTexture);
    if (seen[index] && !repeatable) {
      error = "option " + name + " given more than once";
      return false;
    }
    seen[index] = true;
    if (i + 1 == args.size()) {
      error = "option " + name + " needs a value";
      return false;
    }
    if (!StoreValue(static_cast<Option>(index), args[i + 1], request, error)) return false;
  }

  for (int index = 0; index < static_cast<int>(Option::kCount); ++index) {
    if ((kOptions[index].requiredBy & commandBit) != 0 && !seen[index]) {
      error = std::string(CommandName(request.command)) + " needs " + kOptions[index].name;
      return false;
    }
  }
  return true;
}

const char* UsageText() {
  return "usage:\n"
         "  vesperine-render probe --desktop FILE --at X,Y [--threshold T]\n"
         "  vesperine-render fill --desktop FILE --texture FILE --at X,Y [--threshold T]"
         " --out FILE.png\n"
         "  vesperine-render run --desktop FILE --texture FILE [--texture FILE ...] --seed S\n"
         "      --ticks N [--refresh-ms R] [--interval-ms I] [--threshold T] --out FILE.png\n"
         "      [--frames DIR]\n"
         "  vesperine-render --version\n"
         "\n"
         "probe prints 1 when the area around X,Y of the desktop picture is large enough to fill,\n"
         "0 when it is not. fill paints that area with the texture, tiled from the picture's\n"
         "top-left corner, and writes the result as an RGB PNG.\n"
         "\n"
         "run plays N timer ticks of the saver's cycle on the desktop picture, its random\n"
         "generator seeded with S: fills with the textures (a texture that cannot be read is\n"
         "reported and left out) until R ms of fills at I ms each are used up (defaults 50000\n"
         "and 3500), then the wipe back to the desktop. It writes the work picture after the\n"
         "last tick to FILE.png and, with --frames, the picture after every tick that\n"
         "repaints (each fill and each wipe band) as DIR/frame-0001.png, frame-0002.png, ...\n"
         "DIR must exist.\n"
         "\n"
         "Pictures may be PNG, JPEG, GIF (first frame) or BMP. X,Y counts pixels from the\n"
         "top-left corner. T is the colour threshold (default 21): neighbouring pixels belong to\n"
         "one area when their red, green and blue differences add up to less than T.\n"
         "\n"
         "Exit status: 0 on success, 1 when a file cannot be read or written, 2 for a malformed\n"
         "command line.\n";
}
