// The texture list: full paths of the user's texture files in the order they were added, filled
// from the stored "Texture" block and the open-file dialog, written back as a REG_MULTI_SZ block.
// Portable header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// ---- Constants -------------------------------------------------------------------------------

// Working limits in bytes, the terminating NUL included. A longer path is skipped, never cut.
// Sized for UTF-8, where a character may take 3 bytes: a full path of 259 characters, and a name
// of 255.
constexpr std::size_t kTexturePathBytes = 1024;
constexpr std::size_t kTextureDisplayNameBytes = 768;  // what the settings dialog passes

// ---- Types -----------------------------------------------------------------------------------

struct TexturePaths {
  std::vector<std::string> paths;  // non-empty, no NUL inside; duplicates allowed
};

// ---- Process-wide state ----------------------------------------------------------------------

// Empty at start-up, released at exit; only the functions below change it.
extern TexturePaths TextureList;

// ---- Functions -------------------------------------------------------------------------------

// Entries in the list, and the one at a 0-based position (nullptr outside 0..count-1).
std::int32_t TextureCount();
const char* TextureAt(std::int32_t position);

// Appends the paths of a REG_MULTI_SZ block of `size` bytes, up to its first empty string. A block
// whose first byte is NUL appends nothing. A last string not terminated within `size` bytes is
// dropped: it may have been cut.
void AppendTexturesFromMultiString(const char* block, std::size_t size);

// Appends the paths of a buffer that GetOpenFileNameA filled in multi-select explorer mode: one
// full path, or a directory and the names in it. Names are taken while their offset in the buffer
// is below kTexturePathBytes - 1 minus the length of the directory with its appended backslash.
void AppendTexturesFromFileDialog(const char* buffer, std::size_t size);

// The list as a REG_MULTI_SZ block: each path and a NUL, then one more NUL; a single NUL when the
// list is empty.
std::vector<std::uint8_t> EncodeTextureMultiString();

// Writes what follows the last backslash of `path` (the whole path when it has none; a byte 0x5C
// inside a double-byte character is none) into `buffer`, cut to bufferSize - 1 bytes and
// NUL-terminated. Writes nothing when bufferSize is 0.
void TextureDisplayName(std::string_view path, char* buffer, std::size_t bufferSize);

// Removes the entry at a 0-based position; a position outside the list changes nothing.
void RemoveTextureAt(std::int32_t position);

// Empties the list (tests only: a process never clears it).
void ResetTextureList();
