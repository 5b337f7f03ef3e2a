// The lock seam of GdiplusState: a critical section on Windows (gdiplus_state_lock_win32.cpp), a
// std::mutex in the portable binding (gdiplus_state_lock_memory.cpp). Portable header: no
// <windows.h>.
#pragma once

// ---- Types -----------------------------------------------------------------------------------

using StateLock = void*;  // a CRITICAL_SECTION* or a std::mutex*

// ---- Functions -------------------------------------------------------------------------------

// A new lock, or null when no memory is left; the other functions accept null and do nothing.
StateLock CreateStateLock();
void DeleteStateLock(StateLock lock);
void EnterStateLock(StateLock lock);
void LeaveStateLock(StateLock lock);
