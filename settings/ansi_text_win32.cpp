// The ANSI text seam bound to the system's code page.
#include "settings/ansi_text.h"
#include "settings/ansi_text_win32.h"

#include <windows.h>

bool IsAnsiLeadByte(unsigned char byte) {
  return IsDBCSLeadByte(byte) != FALSE;
}

bool AnsiToWide(const char* text, std::wstring& wide) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 0) return false;
  wide.assign(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length) != length) return false;
  wide.pop_back();
  return true;
}
