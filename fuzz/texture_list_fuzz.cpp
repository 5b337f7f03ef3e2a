// Fuzzes the two texture-list parsers with arbitrary bytes (AddressSanitizer catches any read past
// the data) and checks that an encoded list parses back to itself.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "settings/texture_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Copies of exactly `size` bytes, so any read past them is caught.
  std::vector<char> bytes(data, data + size);
  ResetTextureList();
  AppendTexturesFromMultiString(bytes.data(), bytes.size());
  AppendTexturesFromFileDialog(bytes.data(), bytes.size());
  for (const std::string& path : TextureList.paths) {
    if (path.empty() || path.size() >= kTexturePathBytes) std::abort();
    char name[kTextureDisplayNameBytes];
    TextureDisplayName(path, name, sizeof name);
  }

  const std::vector<std::string> listed = TextureList.paths;
  const std::vector<std::uint8_t> block = EncodeTextureMultiString();
  ResetTextureList();
  AppendTexturesFromMultiString(reinterpret_cast<const char*>(block.data()), block.size());
  if (TextureList.paths != listed) std::abort();
  return 0;
}
