// Test-only control of the portable ANSI text binding (ansi_text_memory.cpp). Portable header.
#pragma once

// ---- Functions -------------------------------------------------------------------------------

// The code page IsAnsiLeadByte plays: 932 (Shift-JIS lead bytes 0x81-0x9F and 0xE0-0xFC), or any
// other value for one without lead bytes (the single-byte pages and UTF-8). 1252 at start.
void SetMemoryAnsiCodePage(unsigned codePage);
