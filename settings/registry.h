// The registry seam: the few ADVAPI32 operations the settings store makes, on the current user's
// hive. Windows builds bind it to the real registry (registry_win32.cpp); the portable in-memory
// key (registry_memory.cpp) stores types and bytes exactly as the registry does and serves the
// native tests. Portable header: no <windows.h>.
#pragma once

#include <cstdint>

// ---- Constants -------------------------------------------------------------------------------

// Values of the Win32 constants of the same meaning.
constexpr long kRegistrySuccess = 0;                // ERROR_SUCCESS
constexpr long kRegistryFileNotFound = 2;           // ERROR_FILE_NOT_FOUND
constexpr long kRegistryAccessDenied = 5;           // ERROR_ACCESS_DENIED
constexpr long kRegistryInvalidHandle = 6;          // ERROR_INVALID_HANDLE
constexpr long kRegistryInvalidParameter = 87;      // ERROR_INVALID_PARAMETER
constexpr long kRegistryMoreData = 234;             // ERROR_MORE_DATA
constexpr std::uint32_t kRegistryString = 1;        // REG_SZ
constexpr std::uint32_t kRegistryExpandString = 2;  // REG_EXPAND_SZ
constexpr std::uint32_t kRegistryDword = 4;         // REG_DWORD
constexpr std::uint32_t kRegistryMultiString = 7;   // REG_MULTI_SZ

// ---- Types -----------------------------------------------------------------------------------

using RegistryKey = void*;  // an HKEY on Windows

// What a key is opened for: loading only reads, so a key its owner made read-only still loads.
enum RegistryAccess { kRegistryRead, kRegistryWrite };  // KEY_READ, KEY_READ | KEY_WRITE

// ---- Functions -------------------------------------------------------------------------------

// Opens the key at `subkeyPath` below HKEY_CURRENT_USER for `access`, creating it empty when it
// does not exist (RegCreateKeyExA). Returns kRegistrySuccess and sets `key`, or an error.
long RegistryCreateKey(const char* subkeyPath, RegistryAccess access, RegistryKey* key);

// RegQueryValueExA: with `data` null, reports the value's type and size in bytes; otherwise copies
// at most *size bytes into `data` and sets *size to the value's size (kRegistryMoreData when the
// buffer is too small). `type` may be null.
long RegistryQueryValue(RegistryKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                        std::uint32_t* size);

// RegSetValueExA: stores exactly `size` bytes of `data` with `type`.
long RegistrySetValue(RegistryKey key, const char* name, std::uint32_t type,
                      const std::uint8_t* data, std::uint32_t size);

void RegistryCloseKey(RegistryKey key);

// Reads the REG_SZ value `name` of HKEY_LOCAL_MACHINE\`subkeyPath` (opened for reading only) into
// `buffer` of *size bytes, NUL-terminated; sets *size to the bytes read. An error, with `buffer`
// unspecified, when the key or value is missing, of another type, or does not fit.
long RegistryReadMachineString(const char* subkeyPath, const char* name, char* buffer,
                               std::uint32_t* size);
