#include "settings/folder_textures.h"

#include <algorithm>
#include <string>
#include <vector>

#include "settings/ansi_text.h"
#include "settings/ascii_case.h"
#include "settings/folder_listing.h"
#include "settings/texture_list.h"

namespace {

bool IsPictureName(const std::string& name) {
  const std::string folded = FoldAsciiCase(name);
  for (const std::string extension : kFolderTextureExtensions) {
    // A bare ".png" is a hidden file's name, not a picture.
    if (folded.size() > extension.size() &&
        folded.compare(folded.size() - extension.size(), extension.size(), extension) == 0) {
      return true;
    }
  }
  return false;
}

bool NameOrder(const std::string& a, const std::string& b) {
  const std::string foldedA = FoldAsciiCase(a);
  const std::string foldedB = FoldAsciiCase(b);
  return foldedA != foldedB ? foldedA < foldedB : a < b;
}

}  // namespace

void AppendTexturesFromFolder(const char* folder) {
  std::vector<std::string> names = ListFolderFiles(folder);
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const std::string& name) { return !IsPictureName(name); }),
              names.end());
  std::sort(names.begin(), names.end(), NameOrder);

  std::string prefix = folder;
  if (!prefix.empty() && !EndsWithPathSeparator(prefix)) prefix += '\\';
  // Through the stored block's parser, which keeps the one rule on path length.
  std::string block;
  for (const std::string& name : names) {
    block += prefix + name;
    block += '\0';
  }
  block += '\0';
  AppendTexturesFromMultiString(block.data(), block.size());
}
