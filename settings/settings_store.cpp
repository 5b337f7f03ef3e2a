#include "settings/settings_store.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "settings/ansi_text.h"
#include "settings/folder_textures.h"
#include "settings/registry.h"
#include "settings/texture_list.h"

namespace {

constexpr SaverSettingsValues DefaultSaverSettings() {
  SaverSettingsValues defaults{};
  for (std::size_t i = 0; i < sizeof kDefaultAppFolder; ++i) {
    defaults.AppFolder[i] = kDefaultAppFolder[i];
  }
  defaults.RefreshTime = kDefaultRefreshTime;
  defaults.TimeInterval = kDefaultTimeInterval;
  defaults.ColorDifference = kDefaultColorDifference;
  return defaults;
}

constexpr char kAppFolderValue[] = "AppFolder";
constexpr char kRefreshTimeValue[] = "Refresh Time";
constexpr char kTimeIntervalValue[] = "Time Interval";
constexpr char kColorDifferenceValue[] = "Color Difference";
constexpr char kTextureValue[] = "Texture";

// Type and size of a value, the first of the two queries each read makes.
bool QueryShape(RegistryKey key, const char* name, std::uint32_t expectedType,
                std::uint32_t* size) {
  std::uint32_t type = 0;
  return RegistryQueryValue(key, name, &type, nullptr, size) == kRegistrySuccess &&
         type == expectedType;
}

// The folder the installer chose: Ondrel\Vesperine\ below the system's Program Files folder.
void ReadDefaultAppFolder() {
  char programFiles[kAppFolderBytes];
  std::uint32_t size = sizeof programFiles;
  if (RegistryReadMachineString(kProgramFilesKeyPath, kProgramFilesValue, programFiles, &size) !=
          kRegistrySuccess ||
      programFiles[0] == '\0') {
    return;
  }
  std::string folder = programFiles;
  if (!EndsWithPathSeparator(folder)) folder += '\\';
  folder += kAppFolderBelowProgramFiles;
  if (folder.size() < kAppFolderBytes) std::strcpy(SaverSettings.AppFolder, folder.c_str());
}

void ReadAppFolder(RegistryKey key) {
  std::uint32_t size = 0;
  if (!QueryShape(key, kAppFolderValue, kRegistryString, &size) || size > kAppFolderBytes) return;
  char folder[kAppFolderBytes];
  std::uint32_t read = size;
  if (RegistryQueryValue(key, kAppFolderValue, nullptr, reinterpret_cast<std::uint8_t*>(folder),
                         &read) != kRegistrySuccess) {
    return;
  }
  // A string stored without its NUL is ours to terminate, when there is room for one.
  if (std::memchr(folder, '\0', read) == nullptr) {
    if (read == kAppFolderBytes) return;
    folder[read] = '\0';
  }
  // An empty folder would list the current one and store bare names: the default stays.
  if (folder[0] != '\0') std::strcpy(SaverSettings.AppFolder, folder);
}

void ReadNumber(RegistryKey key, const char* name, std::int32_t* field) {
  std::uint32_t size = 0;
  if (!QueryShape(key, name, kRegistryDword, &size) || size != 4) return;
  std::uint8_t bytes[4];
  std::uint32_t read = size;
  if (RegistryQueryValue(key, name, nullptr, bytes, &read) != kRegistrySuccess || read != 4) return;
  const std::uint32_t value =
      bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  *field = static_cast<std::int32_t>(value);
}

// Appends every path of the value, fetched whole: a list of any length survives a load and the
// save that follows it.
void ReadTextures(RegistryKey key) {
  std::uint32_t size = 0;
  // Never stored (a stored empty list is one NUL): the pictures the installer put in AppFolder.
  if (RegistryQueryValue(key, kTextureValue, nullptr, nullptr, &size) == kRegistryFileNotFound) {
    AppendTexturesFromFolder(SaverSettings.AppFolder);
    return;
  }
  if (!QueryShape(key, kTextureValue, kRegistryMultiString, &size) || size == 0) return;
  std::unique_ptr<char[]> data(new (std::nothrow) char[size]);
  if (!data) return;
  std::uint32_t read = size;
  if (RegistryQueryValue(key, kTextureValue, nullptr, reinterpret_cast<std::uint8_t*>(data.get()),
                         &read) != kRegistrySuccess) {
    return;
  }
  AppendTexturesFromMultiString(data.get(), read < size ? read : size);
}

void WriteNumber(RegistryKey key, const char* name, std::uint32_t value) {
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  RegistrySetValue(key, name, kRegistryDword, bytes, sizeof bytes);
}

}  // namespace

SaverSettingsValues SaverSettings = DefaultSaverSettings();

void LoadSettings() {
  ResetSaverSettings();
  ReadDefaultAppFolder();
  RegistryKey key = nullptr;
  if (RegistryCreateKey(SettingsKeyPath, kRegistryRead, &key) != kRegistrySuccess) return;
  ReadAppFolder(key);
  ReadNumber(key, kRefreshTimeValue, &SaverSettings.RefreshTime);
  ReadNumber(key, kTimeIntervalValue, &SaverSettings.TimeInterval);
  ReadNumber(key, kColorDifferenceValue, &SaverSettings.ColorDifference);
  ReadTextures(key);
  RegistryCloseKey(key);
}

int WriteSettings(int refreshPosition, int intervalPosition) {
  RegistryKey key = nullptr;
  if (RegistryCreateKey(SettingsKeyPath, kRegistryWrite, &key) != kRegistrySuccess) return 1;
  // Unsigned arithmetic: a position no trackbar gives still wraps instead of overflowing.
  WriteNumber(key, kRefreshTimeValue, static_cast<std::uint32_t>(refreshPosition) * 10u);
  WriteNumber(key, kTimeIntervalValue, static_cast<std::uint32_t>(intervalPosition));
  WriteNumber(key, kColorDifferenceValue, static_cast<std::uint32_t>(kDefaultColorDifference));
  const std::vector<std::uint8_t> block = EncodeTextureMultiString();
  RegistrySetValue(key, kTextureValue, kRegistryMultiString, block.data(),
                   static_cast<std::uint32_t>(block.size()));
  RegistryCloseKey(key);
  return 1;
}

void ResetSaverSettings() {
  SaverSettings = DefaultSaverSettings();
}
