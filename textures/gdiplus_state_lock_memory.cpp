// The lock seam of GdiplusState bound to a std::mutex.
#include <mutex>
#include <new>

#include "textures/gdiplus_state_lock.h"

StateLock CreateStateLock() {
  return new (std::nothrow) std::mutex;
}

void DeleteStateLock(StateLock lock) {
  delete static_cast<std::mutex*>(lock);
}

void EnterStateLock(StateLock lock) {
  if (lock) static_cast<std::mutex*>(lock)->lock();
}

void LeaveStateLock(StateLock lock) {
  if (lock) static_cast<std::mutex*>(lock)->unlock();
}
