// Narrow text in the ANSI code page, converted for the W functions that need UTF-16.
#pragma once

#include <string>

// ---- Functions -------------------------------------------------------------------------------

// `text` (ANSI code page) in UTF-16, without the terminating NUL; false when it does not convert.
// CP_ACP: the code page in which the registry and the file dialog hand this program its text
// (UTF-8 where the manifest's activeCodePage is honoured), not the user's formats locale. May
// throw std::bad_alloc.
bool AnsiToWide(const char* text, std::wstring& wide);
