#include "shell/command_tail.h"

namespace {

const char* SkipSpaces(const char* cursor) {
  while (*cursor == ' ')
    ++cursor;
  return cursor;
}

}  // namespace

const char* SkipProgramName(const char* commandLine, CharStep next) {
  const char* cursor = commandLine;
  if (*cursor == '"') {
    do {
      cursor = next(cursor);
    } while (*cursor != '\0' && *cursor != '"');
    if (*cursor == '"') ++cursor;
  } else {
    while (static_cast<unsigned char>(*cursor) > 0x20)
      cursor = next(cursor);
  }
  while (*cursor != '\0' && static_cast<unsigned char>(*cursor) <= 0x20)
    ++cursor;
  return cursor;
}

TailSwitch ScanCommandTail(const char* tail) {
  // Taken as signed, a byte of 0x80 or above is negative and matches no switch.
  for (const char* cursor = tail;; ++cursor) {
    switch (static_cast<signed char>(*cursor)) {
      case '\0':
        return {SaverMode::kSettingsNoParent, 0};
      case ' ':
      case '-':
      case '/':
        continue;
      case 'S':
      case 's':
        return {SaverMode::kFullScreen, 0};
      case 'P':
      case 'p':
      case 'L':
      case 'l':
        return {SaverMode::kPreview, ParseWindowHandle(SkipSpaces(cursor + 1))};
      case 'C':
      case 'c':
        if (cursor[1] == ':') return {SaverMode::kSettings, ParseWindowHandle(cursor + 2)};
        return {SaverMode::kSettings, 0};
      case 'A':
      case 'a':
        return {SaverMode::kChangePassword, ParseWindowHandle(SkipSpaces(cursor + 1))};
      default:
        return {SaverMode::kUnrecognised, 0};
    }
  }
}

std::uint32_t ParseWindowHandle(const char* cursor) {
  std::uint32_t value = 0;
  for (; *cursor >= '0' && *cursor <= '9'; ++cursor)
    value = value * 10u + static_cast<std::uint32_t>(*cursor - '0');
  return value;
}
