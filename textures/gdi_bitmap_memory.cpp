// The GDI seam kept in memory: DIB sections are heap blocks, memory DCs remember the object
// selected into them. GDI's rules are checked, and breaches counted, so that the native tests
// prove the protocol the Windows build depends on.
#include "textures/gdi_bitmap_memory.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

constexpr std::int64_t kMaxDibBytes = std::int64_t{1} << 31;

struct MemoryBitmap {
  DibHeader header;
  std::unique_ptr<std::uint8_t[]> storage;
  std::uint32_t colors[kDibColorTableSize] = {};
  DcHandle selectedInto = nullptr;
};

struct MemoryDc {
  GdiObjectHandle selected = nullptr;
};

// Stands for the 1x1 monochrome bitmap every new memory DC holds.
char stockBitmap;

struct Registry {
  std::mutex lock;
  std::unordered_map<void*, MemoryBitmap*> bitmaps;
  std::unordered_map<void*, MemoryDc*> dcs;
  int dcsCreated = 0;
  int misuses = 0;
  bool failDibSections = false;
};

// Never destroyed: DCs are still deleted while the process exits, after other statics are gone.
Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

MemoryBitmap* FindBitmap(Registry& registry, void* handle) {
  auto found = registry.bitmaps.find(handle);
  return found == registry.bitmaps.end() ? nullptr : found->second;
}

MemoryDc* FindDc(Registry& registry, void* handle) {
  auto found = registry.dcs.find(handle);
  return found == registry.dcs.end() ? nullptr : found->second;
}

bool ValidHeader(const DibHeader& header) {
  if (header.width <= 0 || header.height == 0) return false;
  const int bits = header.bitCount;
  if (header.compression == kDibBitfields) return bits == 16 || bits == 32;
  return header.compression == kDibRgb &&
         (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

}  // namespace

BitmapHandle GdiCreateDibSection(const DibHeader& header, void** bits) {
  *bits = nullptr;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  if (registry.failDibSections || !ValidHeader(header)) return nullptr;
  const std::int64_t rowBytes = (std::int64_t{header.width} * header.bitCount + 31) / 32 * 4;
  const std::int64_t rows = header.height < 0 ? -std::int64_t{header.height} : header.height;
  if (rowBytes * rows > kMaxDibBytes) return nullptr;
  auto bitmap = std::unique_ptr<MemoryBitmap>(new (std::nothrow) MemoryBitmap);
  if (!bitmap) return nullptr;
  bitmap->header = header;
  // Value-initialised: a new DIB section reads as all zero bits.
  bitmap->storage.reset(new (std::nothrow)
                            std::uint8_t[static_cast<std::size_t>(rowBytes * rows)]());
  if (!bitmap->storage) return nullptr;
  try {
    registry.bitmaps.emplace(bitmap.get(), bitmap.get());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  *bits = bitmap->storage.get();
  return bitmap.release();
}

bool GdiReadDibSection(BitmapHandle handle, DibSectionInfo* info) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  MemoryBitmap* bitmap = FindBitmap(registry, handle);
  if (!bitmap) return false;
  info->width = bitmap->header.width;
  info->height = bitmap->header.height;
  info->bitCount = bitmap->header.bitCount;
  info->bits = bitmap->storage.get();
  return true;
}

bool GdiDeleteObject(GdiObjectHandle object) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  if (object == &stockBitmap) return true;
  MemoryBitmap* bitmap = FindBitmap(registry, object);
  if (!bitmap || bitmap->selectedInto) {
    ++registry.misuses;
    return false;
  }
  registry.bitmaps.erase(object);
  delete bitmap;
  return true;
}

DcHandle GdiCreateMemoryDC() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  auto dc = std::unique_ptr<MemoryDc>(new (std::nothrow) MemoryDc);
  if (!dc) return nullptr;
  dc->selected = &stockBitmap;
  try {
    registry.dcs.emplace(dc.get(), dc.get());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  ++registry.dcsCreated;
  return dc.release();
}

bool GdiDeleteDC(DcHandle handle) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  MemoryDc* dc = FindDc(registry, handle);
  if (!dc) {
    ++registry.misuses;
    return false;
  }
  if (MemoryBitmap* bitmap = FindBitmap(registry, dc->selected)) {
    ++registry.misuses;
    bitmap->selectedInto = nullptr;
  }
  registry.dcs.erase(handle);
  delete dc;
  return true;
}

GdiObjectHandle GdiSelectObject(DcHandle handle, GdiObjectHandle object) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  MemoryDc* dc = FindDc(registry, handle);
  MemoryBitmap* bitmap = FindBitmap(registry, object);
  if (!dc || (!bitmap && object != &stockBitmap) ||
      (bitmap && bitmap->selectedInto && bitmap->selectedInto != handle)) {
    ++registry.misuses;
    return nullptr;
  }
  GdiObjectHandle previous = dc->selected;
  if (MemoryBitmap* old = FindBitmap(registry, previous)) old->selectedInto = nullptr;
  if (bitmap) bitmap->selectedInto = handle;
  dc->selected = object;
  return previous;
}

unsigned GdiSetDibColorTable(DcHandle handle, unsigned first, unsigned count,
                             const std::uint32_t* entries) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  MemoryDc* dc = FindDc(registry, handle);
  MemoryBitmap* bitmap = dc ? FindBitmap(registry, dc->selected) : nullptr;
  if (!bitmap || bitmap->header.bitCount > 8) {
    ++registry.misuses;
    return 0;
  }
  const unsigned size = 1u << bitmap->header.bitCount;
  if (first >= size) return 0;
  const unsigned set = std::min(count, size - first);
  std::memcpy(bitmap->colors + first, entries, set * sizeof(std::uint32_t));
  return set;
}

MemoryGdiCounts MemoryGdiCountsNow() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  MemoryGdiCounts counts;
  counts.liveBitmaps = static_cast<int>(registry.bitmaps.size());
  counts.liveDCs = static_cast<int>(registry.dcs.size());
  counts.dcsCreated = registry.dcsCreated;
  counts.misuses = registry.misuses;
  return counts;
}

GdiObjectHandle MemoryGdiSelectedObject(DcHandle handle) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  MemoryDc* dc = FindDc(registry, handle);
  return dc ? dc->selected : nullptr;
}

const std::uint32_t* MemoryGdiColorTable(BitmapHandle handle) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  MemoryBitmap* bitmap = FindBitmap(registry, handle);
  return bitmap ? bitmap->colors : nullptr;
}

bool MemoryGdiDibHeader(BitmapHandle handle, DibHeader* header) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  MemoryBitmap* bitmap = FindBitmap(registry, handle);
  if (!bitmap) return false;
  *header = bitmap->header;
  return true;
}

void MemoryGdiFailDibSections(bool fail) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> hold(registry.lock);
  registry.failDibSections = fail;
}
