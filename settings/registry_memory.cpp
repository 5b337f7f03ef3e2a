// The registry seam bound to memory: one current-user hive per process. Key paths and value names
// compare without regard to ASCII case, as the registry's do; values keep their type and exact
// bytes, and queries answer as RegQueryValueExA does.
#include "settings/registry.h"
#include "settings/registry_memory.h"

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "settings/ascii_case.h"

namespace {

struct Key {
  std::map<std::string, MemoryRegistryValue> values;  // by lower-case name
  bool readOnly = false;
};

struct Handle {
  Key* key;
  bool writable;
};

// Process lifetime; emptied by ResetMemoryRegistry.
std::map<std::string, std::unique_ptr<Key>> keys;  // by lower-case path
std::map<Handle*, std::unique_ptr<Handle>> openHandles;
std::map<std::string, std::string> machineStrings;  // by lower-case "path\\name"
int failingOpens = 0;
long failingOpenError = kRegistryAccessDenied;

std::string Fold(const char* text) {
  return FoldAsciiCase(text != nullptr ? text : "");
}

Key* FindKey(const char* path) {
  const auto found = keys.find(Fold(path));
  return found != keys.end() ? found->second.get() : nullptr;
}

// Creates the key and every missing parent, as RegCreateKeyExA does.
Key* CreateKey(const char* path) {
  const std::string folded = Fold(path);
  for (std::size_t end = 0; end != std::string::npos;) {
    end = folded.find('\\', end + 1);
    std::unique_ptr<Key>& slot = keys[folded.substr(0, end)];
    if (!slot) slot = std::make_unique<Key>();
  }
  return keys[folded].get();
}

Key* KeyOf(RegistryKey key) {
  const auto found = openHandles.find(static_cast<Handle*>(key));
  return found != openHandles.end() ? found->second->key : nullptr;
}

}  // namespace

long RegistryCreateKey(const char* subkeyPath, RegistryAccess access, RegistryKey* key) {
  if (subkeyPath == nullptr || key == nullptr) return kRegistryInvalidParameter;
  if (failingOpens > 0) {
    --failingOpens;
    return failingOpenError;
  }
  const bool writable = access == kRegistryWrite;
  Key* found = CreateKey(subkeyPath);
  if (writable && found->readOnly) return kRegistryAccessDenied;
  auto handle = std::make_unique<Handle>(Handle{found, writable});
  *key = handle.get();
  openHandles.emplace(handle.get(), std::move(handle));
  return kRegistrySuccess;
}

long RegistryQueryValue(RegistryKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                        std::uint32_t* size) {
  const Key* open = KeyOf(key);
  if (open == nullptr) return kRegistryInvalidHandle;
  if (data != nullptr && size == nullptr) return kRegistryInvalidParameter;
  const auto found = open->values.find(Fold(name));
  if (found == open->values.end()) return kRegistryFileNotFound;
  const MemoryRegistryValue& value = found->second;
  const auto needed = static_cast<std::uint32_t>(value.bytes.size());
  if (type != nullptr) *type = value.type;
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return kRegistrySuccess;
  }
  const bool fits = *size >= needed;
  *size = needed;
  if (!fits) return kRegistryMoreData;
  if (needed > 0) std::memcpy(data, value.bytes.data(), needed);
  return kRegistrySuccess;
}

long RegistrySetValue(RegistryKey key, const char* name, std::uint32_t type,
                      const std::uint8_t* data, std::uint32_t size) {
  Key* open = KeyOf(key);
  if (open == nullptr) return kRegistryInvalidHandle;
  if (!static_cast<Handle*>(key)->writable) return kRegistryAccessDenied;
  if (data == nullptr && size > 0) return kRegistryInvalidParameter;
  MemoryRegistryValue& value = open->values[Fold(name)];
  value.type = type;
  value.bytes.assign(data, data + size);
  return kRegistrySuccess;
}

void RegistryCloseKey(RegistryKey key) {
  openHandles.erase(static_cast<Handle*>(key));
}

void ResetMemoryRegistry() {
  openHandles.clear();
  keys.clear();
  machineStrings.clear();
  failingOpens = 0;
  failingOpenError = kRegistryAccessDenied;
}

void SetMemoryRegistryValue(const char* keyPath, const char* name, std::uint32_t type,
                            const std::vector<std::uint8_t>& bytes) {
  CreateKey(keyPath)->values[Fold(name)] = MemoryRegistryValue{type, bytes};
}

std::optional<MemoryRegistryValue> ReadMemoryRegistryValue(const char* keyPath, const char* name) {
  const Key* key = FindKey(keyPath);
  if (key == nullptr) return std::nullopt;
  const auto found = key->values.find(Fold(name));
  if (found == key->values.end()) return std::nullopt;
  return found->second;
}

void MakeMemoryRegistryKeyReadOnly(const char* keyPath) {
  CreateKey(keyPath)->readOnly = true;
}

bool MemoryRegistryKeyExists(const char* keyPath) {
  return FindKey(keyPath) != nullptr;
}

void FailNextMemoryRegistryOpens(int count, long error) {
  failingOpens = count;
  failingOpenError = error;
}

void SetMemoryMachineString(const char* keyPath, const char* name, const char* value) {
  const std::string at = Fold(keyPath) + '\\' + Fold(name);
  if (value != nullptr) {
    machineStrings[at] = value;
  } else {
    machineStrings.erase(at);
  }
}

long RegistryReadMachineString(const char* subkeyPath, const char* name, char* buffer,
                               std::uint32_t* size) {
  const auto found = machineStrings.find(Fold(subkeyPath) + '\\' + Fold(name));
  if (found == machineStrings.end()) return kRegistryFileNotFound;
  const std::string& value = found->second;
  if (value.size() + 1 > *size) return kRegistryMoreData;
  std::memcpy(buffer, value.c_str(), value.size() + 1);
  *size = static_cast<std::uint32_t>(value.size() + 1);
  return kRegistrySuccess;
}

int OpenMemoryRegistryKeyCount() {
  return static_cast<int>(openHandles.size());
}
