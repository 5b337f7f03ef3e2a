// The registry seam bound to ADVAPI32: each call is the Win32 function of the same meaning.
#include "settings/registry.h"

#include <windows.h>

static_assert(kRegistrySuccess == ERROR_SUCCESS && kRegistryFileNotFound == ERROR_FILE_NOT_FOUND &&
                  kRegistryAccessDenied == ERROR_ACCESS_DENIED &&
                  kRegistryInvalidHandle == ERROR_INVALID_HANDLE &&
                  kRegistryInvalidParameter == ERROR_INVALID_PARAMETER &&
                  kRegistryMoreData == ERROR_MORE_DATA,
              "registry.h error codes must match winerror.h");
static_assert(kRegistryString == REG_SZ && kRegistryExpandString == REG_EXPAND_SZ &&
                  kRegistryDword == REG_DWORD && kRegistryMultiString == REG_MULTI_SZ,
              "registry.h value types must match winnt.h");

long RegistryCreateKey(const char* subkeyPath, RegistryAccess access, RegistryKey* key) {
  HKEY handle = nullptr;
  DWORD disposition = 0;
  const LONG result = RegCreateKeyExA(
      HKEY_CURRENT_USER, subkeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
      access == kRegistryWrite ? KEY_READ | KEY_WRITE : KEY_READ, nullptr, &handle, &disposition);
  if (result == ERROR_SUCCESS) *key = handle;
  return result;
}

long RegistryQueryValue(RegistryKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                        std::uint32_t* size) {
  // DWORD is unsigned long, a distinct type from std::uint32_t: go through locals.
  DWORD valueType = 0;
  DWORD valueSize = size != nullptr ? *size : 0;
  const LONG result = RegQueryValueExA(static_cast<HKEY>(key), name, nullptr,
                                       type != nullptr ? &valueType : nullptr, data,
                                       size != nullptr ? &valueSize : nullptr);
  if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
    if (type != nullptr) *type = valueType;
    if (size != nullptr) *size = valueSize;
  }
  return result;
}

long RegistrySetValue(RegistryKey key, const char* name, std::uint32_t type,
                      const std::uint8_t* data, std::uint32_t size) {
  return RegSetValueExA(static_cast<HKEY>(key), name, 0, type, data, size);
}

void RegistryCloseKey(RegistryKey key) {
  RegCloseKey(static_cast<HKEY>(key));
}

long RegistryReadMachineString(const char* subkeyPath, const char* name, char* buffer,
                               std::uint32_t* size) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkeyPath, 0, KEY_QUERY_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  DWORD type = 0;
  DWORD read = *size;
  result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &read);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_SZ) return ERROR_INVALID_PARAMETER;
  // A value stored without its NUL is ours to terminate, when there is room for one.
  if (read == 0 || buffer[read - 1] != '\0') {
    if (read >= *size) return ERROR_MORE_DATA;
    buffer[read] = '\0';
  }
  *size = read;
  return ERROR_SUCCESS;
}
