// The ANSI text seam bound to the system's code page.
#include "settings/ansi_text.h"

#include <windows.h>

bool IsAnsiLeadByte(unsigned char byte) {
  return IsDBCSLeadByte(byte) != FALSE;
}
