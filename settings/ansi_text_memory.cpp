// The ANSI text seam bound to a code page chosen by the tests.
#include "settings/ansi_text.h"
#include "settings/ansi_text_memory.h"

namespace {

// Process lifetime; set by the tests.
unsigned memoryCodePage = 1252;

}  // namespace

bool IsAnsiLeadByte(unsigned char byte) {
  return memoryCodePage == 932 &&
         ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

void SetMemoryAnsiCodePage(unsigned codePage) {
  memoryCodePage = codePage;
}
