// The lock seam of GdiplusState bound to a critical section.
#include <windows.h>

#include <new>

#include "textures/gdiplus_state_lock.h"

StateLock CreateStateLock() {
  auto* section = new (std::nothrow) CRITICAL_SECTION;
  if (section) InitializeCriticalSection(section);
  return section;
}

void DeleteStateLock(StateLock lock) {
  auto* section = static_cast<CRITICAL_SECTION*>(lock);
  if (!section) return;
  DeleteCriticalSection(section);
  delete section;
}

void EnterStateLock(StateLock lock) {
  if (lock) EnterCriticalSection(static_cast<CRITICAL_SECTION*>(lock));
}

void LeaveStateLock(StateLock lock) {
  if (lock) LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(lock));
}
