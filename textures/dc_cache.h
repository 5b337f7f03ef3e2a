// DCCache: up to four spare memory DCs shared by the texture images, so that attaching a DC to an
// image for one fill reuses a spare one instead of creating a DC each time.
#pragma once

#include <atomic>

#include "textures/gdi_bitmap.h"

// ---- Constants -------------------------------------------------------------------------------

constexpr int kDcCacheSlots = 4;

// ---- Types -----------------------------------------------------------------------------------

// The slots change only by atomic exchanges, so the cache stays consistent without a lock.
class SpareDcCache {
 public:
  constexpr SpareDcCache() : slots_{nullptr, nullptr, nullptr, nullptr} {}
  ~SpareDcCache();  // deletes every DC still held
  SpareDcCache(const SpareDcCache&) = delete;
  SpareDcCache& operator=(const SpareDcCache&) = delete;

  // The first spare DC from slot 0 on, its slot emptied; a new memory DC when there is none.
  DcHandle Take();

  // Puts `dc` into slot 0; each DC it displaces moves one slot on, and one pushed out of the last
  // slot is deleted.
  void PutBack(DcHandle dc);

  DcHandle Slot(int index) const;

  // Deletes every DC held (tests only).
  void Clear();

 private:
  std::atomic<DcHandle> slots_[kDcCacheSlots];
};

// ---- Process-wide state ----------------------------------------------------------------------

// All slots empty at start; the DCs still held are deleted at process exit.
extern SpareDcCache DCCache;
