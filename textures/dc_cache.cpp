#include "textures/dc_cache.h"

SpareDcCache DCCache;

SpareDcCache::~SpareDcCache() {
  Clear();
}

DcHandle SpareDcCache::Take() {
  for (std::atomic<DcHandle>& slot : slots_) {
    if (DcHandle dc = slot.exchange(nullptr)) return dc;
  }
  return GdiCreateMemoryDC();
}

void SpareDcCache::PutBack(DcHandle dc) {
  for (std::atomic<DcHandle>& slot : slots_) {
    if (!dc) return;
    dc = slot.exchange(dc);
  }
  if (dc) GdiDeleteDC(dc);
}

DcHandle SpareDcCache::Slot(int index) const {
  return index >= 0 && index < kDcCacheSlots ? slots_[index].load() : nullptr;
}

void SpareDcCache::Clear() {
  for (std::atomic<DcHandle>& slot : slots_) {
    if (DcHandle dc = slot.exchange(nullptr)) GdiDeleteDC(dc);
  }
}
