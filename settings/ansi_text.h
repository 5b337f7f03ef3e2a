// Narrow text in the ANSI code page: where a path's separators are. In a double-byte code page
// (Shift-JIS, GBK, Big5) the second byte of a character may be 0x5C, the backslash's value, so a
// separator is only a backslash that starts a character. Windows builds ask the system which
// bytes lead a character (ansi_text_win32.cpp); the portable binding plays a chosen code page
// (ansi_text_memory.cpp). Portable header: no <windows.h>.
#pragma once

#include <cstddef>
#include <string_view>

// ---- Functions -------------------------------------------------------------------------------

// True when `byte` is the first of a two-byte character in the ANSI code page (IsDBCSLeadByte).
// UTF-8 has none: no byte of its longer characters is below 0x80.
bool IsAnsiLeadByte(unsigned char byte);

// Offset of the last backslash that starts a character of `path`, or npos.
std::size_t LastPathSeparator(std::string_view path);

// True when the last character of `path` is a backslash.
bool EndsWithPathSeparator(std::string_view path);
