// Test-only view of the in-memory registry (registry_memory.cpp): what the native tests use to
// arrange stored values and to inspect what the settings store wrote. Portable header.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// ---- Types -----------------------------------------------------------------------------------

struct MemoryRegistryValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;  // exactly as stored, terminated or not
};

// ---- Functions -------------------------------------------------------------------------------

// Removes every key and value, clears the open-failure count and forgets open handles. Handles
// from before a reset must not be used afterwards.
void ResetMemoryRegistry();

// Stores a value of any type and bytes, creating the key (and its parents) when needed.
void SetMemoryRegistryValue(const char* keyPath, const char* name, std::uint32_t type,
                            const std::vector<std::uint8_t>& bytes);

// The value as stored; nothing when the key or the value does not exist.
std::optional<MemoryRegistryValue> ReadMemoryRegistryValue(const char* keyPath, const char* name);

bool MemoryRegistryKeyExists(const char* keyPath);

// From now on the key (created when missing) opens for reading only, as one whose permissions an
// administrator narrowed: opening it for writing fails with kRegistryAccessDenied.
void MakeMemoryRegistryKeyReadOnly(const char* keyPath);

// The next `count` calls of RegistryCreateKey fail with `error` and create nothing.
void FailNextMemoryRegistryOpens(int count, long error);

// Sets the REG_SZ value that RegistryReadMachineString finds below HKEY_LOCAL_MACHINE; a null
// `value` removes it. None at start or after ResetMemoryRegistry.
void SetMemoryMachineString(const char* keyPath, const char* name, const char* value);

// Handles opened and not yet closed.
int OpenMemoryRegistryKeyCount();
