// The folder seam bound to memory: folders exist only when a test fills them.
#include "settings/folder_listing.h"
#include "settings/folder_listing_memory.h"

#include <map>

#include "settings/ascii_case.h"

namespace {

// Process lifetime; emptied by ResetMemoryFolders.
std::map<std::string, std::vector<std::string>> folders;  // by folded name

std::string Fold(const char* folder) {
  std::string folded = folder != nullptr ? folder : "";
  while (!folded.empty() && folded.back() == '\\')
    folded.pop_back();
  return FoldAsciiCase(folded);
}

}  // namespace

std::vector<std::string> ListFolderFiles(const char* folder) {
  const auto found = folders.find(Fold(folder));
  return found != folders.end() ? found->second : std::vector<std::string>{};
}

void SetMemoryFolderFiles(const char* folder, const std::vector<std::string>& names) {
  folders[Fold(folder)] = names;
}

void ResetMemoryFolders() {
  folders.clear();
}
