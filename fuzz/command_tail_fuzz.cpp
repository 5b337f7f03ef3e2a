// Fuzzes the command-line scan: any bytes as the command line, stepped byte by byte and as a
// double-byte code page would. The line is a copy that ends at its NUL, so AddressSanitizer
// catches a step past it; the switch's window value is checked against digits read in 64 bits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "shell/command_tail.h"

namespace {

const char* NextByte(const char* c) {
  return *c != '\0' ? c + 1 : c;
}

// Lead bytes 0x81 to 0xFE take the next byte with them, unless it is the NUL.
const char* NextDoubleByte(const char* c) {
  if (*c == '\0') return c;
  const auto lead = static_cast<unsigned char>(*c);
  if (lead >= 0x81 && lead <= 0xFE && c[1] != '\0') return c + 2;
  return c + 1;
}

std::uint32_t Digits(const char* cursor) {
  std::uint64_t value = 0;
  for (; *cursor >= '0' && *cursor <= '9'; ++cursor)
    value = (value * 10 + static_cast<std::uint64_t>(*cursor - '0')) % (std::uint64_t{1} << 32);
  return static_cast<std::uint32_t>(value);
}

const char* SkipSpaces(const char* cursor) {
  while (*cursor == ' ')
    ++cursor;
  return cursor;
}

void ScanTail(const char* line, std::size_t length, CharStep step) {
  const char* tail = SkipProgramName(line, step);
  Check(tail >= line && tail <= line + length);
  Check(*tail == '\0' || static_cast<unsigned char>(*tail) > 0x20);

  const TailSwitch found = ScanCommandTail(tail);
  const char* letter = tail + std::strspn(tail, " -/");
  const auto windowValue = static_cast<std::uint32_t>(found.windowValue);
  switch (found.mode) {
    case SaverMode::kSettingsNoParent:
      Check(*letter == '\0' && windowValue == 0);
      break;
    case SaverMode::kFullScreen:
      Check((*letter == 's' || *letter == 'S') && windowValue == 0);
      break;
    case SaverMode::kPreview:
      Check(std::strchr("pPlL", *letter) != nullptr);
      Check(windowValue == Digits(SkipSpaces(letter + 1)));
      break;
    case SaverMode::kChangePassword:
      Check(*letter == 'a' || *letter == 'A');
      Check(windowValue == Digits(SkipSpaces(letter + 1)));
      break;
    case SaverMode::kSettings:
      Check(*letter == 'c' || *letter == 'C');
      Check(windowValue == (letter[1] == ':' ? Digits(letter + 2) : 0));
      break;
    case SaverMode::kUnrecognised:
      Check(*letter != '\0' && std::strchr("sSpPlLaAcC", *letter) == nullptr && windowValue == 0);
      break;
    default:
      Check(false);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The command line ends at the first NUL of the input, as GetCommandLineA's does.
  const std::size_t length = strnlen(reinterpret_cast<const char*>(data), size);
  std::vector<char> line(data, data + length);
  line.push_back('\0');
  ScanTail(line.data(), length, NextByte);
  ScanTail(line.data(), length, NextDoubleByte);
  return 0;
}
