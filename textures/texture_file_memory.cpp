// The texture file seam bound to the C library: the file read whole into memory.
#include "textures/texture_file.h"

#include <cstdio>
#include <new>
#include <vector>

bool OpenTextureFile(const char* path, TextureFileView* view) {
  *view = TextureFileView{};
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  auto* bytes = new (std::nothrow) std::vector<std::uint8_t>;
  bool read = bytes != nullptr;
  try {
    std::uint8_t chunk[64 * 1024];
    std::size_t got = 0;
    while (read && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
      bytes->insert(bytes->end(), chunk, chunk + got);
    read = read && !std::ferror(file) && !bytes->empty();
  } catch (const std::bad_alloc&) {
    read = false;
  }
  std::fclose(file);
  if (!read) {
    delete bytes;
    return false;
  }
  view->data = bytes->data();
  view->size = bytes->size();
  view->owner = bytes;
  return true;
}

void CloseTextureFile(TextureFileView* view) {
  delete static_cast<std::vector<std::uint8_t>*>(view->owner);
  *view = TextureFileView{};
}
