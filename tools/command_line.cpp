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
  kCount,
};

struct OptionInfo {
  const char* name;
  bool forProbe;
};

constexpr OptionInfo kOptions[] = {
    {"--desktop", true},   {"--texture", false}, {"--at", true},
    {"--threshold", true}, {"--out", false},
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
      request.texturePath = value;
      return true;
    case Option::kOut:
      request.outPath = value;
      return true;
    case Option::kAt:
      if (ParsePoint(value, request.x, request.y)) return true;
      error = "--at '" + value + "' is not X,Y with two whole numbers";
      return false;
    case Option::kThreshold:
      switch (ParseInt32(value, request.threshold)) {
        case NumberStatus::kOk:
          return true;
        case NumberStatus::kOutOfRange:
          error = "--threshold '" + value + "' is out of range (-2147483648 to 2147483647)";
          return false;
        case NumberStatus::kNotANumber:
          error = "--threshold '" + value + "' is not a whole number";
          return false;
      }
      break;
    case Option::kCount:
      break;
  }
  return false;
}

const char* CommandName(RenderCommand command) {
  return command == RenderCommand::kProbe ? "probe" : "fill";
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, RenderRequest& request,
                      std::string& error) {
  request = RenderRequest();
  if (args.empty()) {
    error = "missing command: probe or fill (see --help)";
    return false;
  }
  const std::string& command = args[0];
  if (command == "--help" || command == "-h") {
    request.command = RenderCommand::kHelp;
    return true;
  }
  if (command == "probe") {
    request.command = RenderCommand::kProbe;
  } else if (command == "fill") {
    request.command = RenderCommand::kFill;
  } else if (command.compare(0, 1, "-") == 0) {
    error = "missing command: probe or fill must come before '" + command + "' (see --help)";
    return false;
  } else {
    error = "unknown command '" + command + "': expected probe or fill (see --help)";
    return false;
  }

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
    if (request.command == RenderCommand::kProbe && !kOptions[index].forProbe) {
      error = "option " + name + " does not apply to probe";
      return false;
    }
    if (seen[index]) {
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
    bool required = index != static_cast<int>(Option::kThreshold) &&
                    (request.command == RenderCommand::kFill || kOptions[index].forProbe);
    if (required && !seen[index]) {
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
         "\n"
         "probe prints 1 when the area around X,Y of the desktop picture is large enough to fill,\n"
         "0 when it is not. fill paints that area with the texture, tiled from the picture's\n"
         "top-left corner, and writes the result as an RGB PNG.\n"
         "\n"
         "Pictures may be PNG, JPEG, GIF (first frame) or BMP. X,Y counts pixels from the\n"
         "top-left corner. T is the colour threshold (default 21): neighbouring pixels belong to\n"
         "one area when their red, green and blue differences add up to less than T.\n"
         "\n"
         "Exit status: 0 on success, 1 when a file cannot be read or written, 2 for a malformed\n"
         "command line.\n";
}
