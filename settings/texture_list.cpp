#include "settings/texture_list.h"

#include <cstring>

#include "settings/ansi_text.h"

TexturePaths TextureList;

namespace {

// Offset of the first NUL at or after `from`, or `size` when none lies within the data.
std::size_t FindNul(const char* data, std::size_t from, std::size_t size) {
  const void* nul = std::memchr(data + from, '\0', size - from);
  return nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - data) : size;
}

}  // namespace

std::int32_t TextureCount() {
  return static_cast<std::int32_t>(TextureList.paths.size());
}

const char* TextureAt(std::int32_t position) {
  if (position < 0 || position >= TextureCount()) return nullptr;
  return TextureList.paths[static_cast<std::size_t>(position)].c_str();
}

void AppendTexturesFromMultiString(const char* block, std::size_t size) {
  if (size == 0 || block[0] == '\0') return;
  std::size_t p = 0;
  while (true) {
    const std::size_t nul = FindNul(block, p, size);
    if (nul == size) return;
    if (nul - p < kTexturePathBytes) TextureList.paths.emplace_back(block + p, nul - p);
    p = nul + 1;
    if (p == size || block[p] == '\0') return;
  }
}

void AppendTexturesFromFileDialog(const char* buffer, std::size_t size) {
  if (size == 0 || buffer[0] == '\0') return;
  const std::size_t directoryEnd = FindNul(buffer, 0, size);
  if (directoryEnd == size) return;
  std::size_t p = directoryEnd + 1;
  std::string directory(buffer, directoryEnd);
  if (p == size || buffer[p] == '\0') {
    if (directory.size() < kTexturePathBytes) TextureList.paths.push_back(std::move(directory));
    return;
  }
  // Always one more backslash: the dialog already ends a drive root with one, which then doubles.
  directory += '\\';
  const long long limit =
      static_cast<long long>(kTexturePathBytes) - 1 - static_cast<long long>(directory.size());
  while (static_cast<long long>(p) < limit) {
    const std::size_t nul = FindNul(buffer, p, size);
    if (nul == size) return;
    if (directory.size() + (nul - p) < kTexturePathBytes) {
      TextureList.paths.push_back(directory + std::string(buffer + p, nul - p));
    }
    p = nul + 1;
    if (p == size || buffer[p] == '\0') return;
  }
}

std::vector<std::uint8_t> EncodeTextureMultiString() {
  std::size_t length = 1;
  for (const std::string& path : TextureList.paths)
    length += path.size() + 1;
  std::vector<std::uint8_t> block;
  block.reserve(length);
  for (const std::string& path : TextureList.paths) {
    block.insert(block.end(), path.begin(), path.end());
    block.push_back(0);
  }
  block.push_back(0);
  return block;
}

void TextureDisplayName(std::string_view path, char* buffer, std::size_t bufferSize) {
  if (bufferSize == 0) return;
  const std::size_t separator = LastPathSeparator(path);
  const std::string_view name =
      separator == std::string_view::npos ? path : path.substr(separator + 1);
  const std::size_t length = name.size() < bufferSize - 1 ? name.size() : bufferSize - 1;
  if (length > 0) std::memcpy(buffer, name.data(), length);
  buffer[length] = '\0';
}

void RemoveTextureAt(std::int32_t position) {
  if (position < 0 || position >= TextureCount()) return;
  TextureList.paths.erase(TextureList.paths.begin() + position);
}

void ResetTextureList() {
  TextureList.paths.clear();
}
