// Fuzzes settings loading over the in-memory registry: the key holds values of any type, size and
// bytes under the names the store reads (in any letter case) and one it does not, whose bytes name
// the files in the settings' folder. Checks that each field takes the stored value exactly when
// type and size fit it and the default otherwise, that every listed path is usable, that no key
// is left open, and that a save followed by a load gives the same list and values back.
//
// Input: a flags byte (bit 0: the key's opening fails; bit 1: the key is read-only, so the save
// changes nothing; the rest: the refresh position a save writes), then records: name byte, type
// byte, two size bytes (little-endian, up to 16383), and the value's bytes. A value longer than
// the bytes left repeats them, so that large values come from small inputs.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "settings/ascii_case.h"
#include "settings/folder_listing_memory.h"
#include "settings/registry.h"
#include "settings/registry_memory.h"
#include "settings/settings_store.h"
#include "settings/texture_list.h"

namespace {

constexpr const char* kNames[] = {"AppFolder",        "Refresh Time", "Time Interval",
                                  "Color Difference", "Texture",      "Textures"};
constexpr std::uint32_t kTypes[] = {kRegistryString,
                                    kRegistryExpandString,
                                    kRegistryDword,
                                    kRegistryMultiString,
                                    0 /* REG_NONE */,
                                    3 /* REG_BINARY */,
                                    5 /* REG_DWORD_BIG_ENDIAN */,
                                    11 /* REG_QWORD */};

struct Stored {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
};

void CheckNumber(const std::map<std::string, Stored>& stored, const char* name, std::int32_t field,
                 std::int32_t fallback) {
  const auto found = stored.find(FoldAsciiCase(name));
  std::int32_t want = fallback;
  if (found != stored.end() && found->second.type == kRegistryDword &&
      found->second.bytes.size() == 4) {
    std::uint32_t value;
    std::memcpy(&value, found->second.bytes.data(), 4);
    want = static_cast<std::int32_t>(value);
  }
  Check(field == want);
}

// The folder LoadSettings must give: the stored one when type and size fit and it is not empty,
// else the default.
std::string ExpectedAppFolder(const std::map<std::string, Stored>& stored) {
  const auto found = stored.find(FoldAsciiCase("AppFolder"));
  if (found != stored.end() && found->second.type == kRegistryString &&
      found->second.bytes.size() <= kAppFolderBytes) {
    const std::vector<std::uint8_t>& bytes = found->second.bytes;
    std::string text(bytes.begin(), bytes.end());
    text = text.substr(0, text.find('\0'));
    if (!text.empty() && (text.size() < bytes.size() || bytes.size() < kAppFolderBytes))
      return text;
  }
  return kDefaultAppFolder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in{data, size};
  ResetMemoryRegistry();
  ResetTextureList();
  ResetSaverSettings();

  const std::uint8_t flags = in.Byte();
  std::map<std::string, Stored> stored;  // what the key holds, by lower-case name
  while (in.size > 0) {
    const std::uint8_t nameByte = in.Byte();
    std::string name = kNames[nameByte % 6];
    if (nameByte & 0x80) name = FoldAsciiCase(name);
    const std::uint32_t type = kTypes[in.Byte() % 8];
    std::size_t length = in.Byte();
    length |= static_cast<std::size_t>(in.Byte() & 0x3F) << 8;
    std::vector<std::uint8_t> bytes(length);
    const std::size_t given = length < in.size ? length : in.size;
    for (std::size_t at = 0; given > 0 && at < length; at += given)
      std::memcpy(bytes.data() + at, in.data, std::min(given, length - at));
    in.data += given;
    in.size -= given;
    SetMemoryRegistryValue(SettingsKeyPath, name.c_str(), type, bytes);
    stored[FoldAsciiCase(name)] = Stored{type, bytes};
  }

  // The unread "Textures" value names the files in AppFolder, which a first start lists.
  ResetMemoryFolders();
  const std::string folder = ExpectedAppFolder(stored);
  const auto files = stored.find("textures");
  if (files != stored.end()) {
    std::vector<std::string> names;
    const std::vector<std::uint8_t>& bytes = files->second.bytes;
    for (auto at = bytes.begin(); at != bytes.end();) {
      const auto nul = std::find(at, bytes.end(), 0);
      names.emplace_back(at, nul);
      at = nul == bytes.end() ? nul : nul + 1;
    }
    SetMemoryFolderFiles(folder.c_str(), names);
  }

  if (flags & 1) {
    FailNextMemoryRegistryOpens(1, kRegistryAccessDenied);
    LoadSettings();
    Check(OpenMemoryRegistryKeyCount() == 0);
    return 0;
  }

  const bool readOnly = flags & 2;
  if (readOnly) MakeMemoryRegistryKeyReadOnly(SettingsKeyPath);
  LoadSettings();
  Check(OpenMemoryRegistryKeyCount() == 0);
  Check(std::memchr(SaverSettings.AppFolder, '\0', kAppFolderBytes) != nullptr);
  Check(folder == SaverSettings.AppFolder);
  CheckNumber(stored, "Refresh Time", SaverSettings.RefreshTime, kDefaultRefreshTime);
  CheckNumber(stored, "Time Interval", SaverSettings.TimeInterval, kDefaultTimeInterval);
  CheckNumber(stored, "Color Difference", SaverSettings.ColorDifference, kDefaultColorDifference);
  for (const std::string& path : TextureList.paths)
    Check(!path.empty() && path.size() < kTexturePathBytes && path.find('\0') == std::string::npos);

  // Saving what was loaded and loading it again changes nothing.
  const std::vector<std::string> listed = TextureList.paths;
  const int refresh = flags >> 2;
  const SaverSettingsValues loaded = SaverSettings;
  WriteSettings(refresh, loaded.TimeInterval);
  ResetTextureList();
  LoadSettings();
  Check(OpenMemoryRegistryKeyCount() == 0);
  Check(TextureList.paths == listed);
  Check(folder == SaverSettings.AppFolder);
  Check(SaverSettings.TimeInterval == loaded.TimeInterval);
  Check(SaverSettings.RefreshTime == (readOnly ? loaded.RefreshTime : refresh * 10));
  Check(SaverSettings.ColorDifference ==
        (readOnly ? loaded.ColorDifference : kDefaultColorDifference));
  return 0;
}
