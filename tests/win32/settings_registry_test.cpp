// The settings store on the real registry (wine's): what a save leaves in HKCU and what a load
// makes of values that other programs may have stored. The cases shared with the in-memory
// registry are in tests/unit/settings_store_cases.h.
#include "settings/settings_store.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/registry.h"
#include "settings/texture_list.h"

using namespace std::string_literals;

namespace {

constexpr char kVendorKey[] = "Software\\Ondrel";

void DeleteVendorKey() {
  RegDeleteTreeA(HKEY_CURRENT_USER, kVendorKey);
}

}  // namespace

// Outside the anonymous namespace: the shared cases derive from it in another file.
class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteVendorKey();
    ResetTextureList();
    ResetSaverSettings();
  }
  void TearDown() override { DeleteVendorKey(); }
};

namespace {

bool SettingsKeyExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// Stores exactly `bytes`. The byte after them is not NUL: RegSetValueExA counts a string's
// terminator in when the caller left it out and one follows.
void Store(const char* name, std::uint32_t type, const std::string& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::string padded = bytes + 'Z';
  EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(padded.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

// The value's type and bytes; type 0 when absent.
std::pair<std::uint32_t, std::string> Stored(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return {0, ""};
  }
  DWORD type = 0, size = 0;
  std::string bytes;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    bytes.resize(size);
    RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]), &size);
    bytes.resize(size);
  }
  RegCloseKey(key);
  return {type, bytes};
}

}  // namespace

#include "tests/unit/settings_store_cases.h"

namespace {

// Loading opens the key for reading only; a save opens it for writing.
TEST_F(SettingsStoreTest, LoadingOpensTheKeyReadOnly) {
  RegistryKey key = nullptr;
  ASSERT_EQ(RegistryCreateKey(SettingsKeyPath, kRegistryRead, &key), kRegistrySuccess);
  const BYTE byte = 1;
  EXPECT_EQ(RegSetValueExA(static_cast<HKEY>(key), "x", 0, REG_BINARY, &byte, 1),
            ERROR_ACCESS_DENIED);
  RegistryCloseKey(key);
  ASSERT_EQ(RegistryCreateKey(SettingsKeyPath, kRegistryWrite, &key), kRegistrySuccess);
  EXPECT_EQ(RegSetValueExA(static_cast<HKEY>(key), "x", 0, REG_BINARY, &byte, 1), ERROR_SUCCESS);
  RegistryCloseKey(key);
}

TEST_F(SettingsStoreTest, SaveReadsTheDialogTrackbars) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
  ASSERT_TRUE(InitCommonControlsEx(&controls));
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  const HWND dialog = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                      nullptr, instance, nullptr);
  ASSERT_NE(dialog, nullptr);
  const struct {
    int id, low, high, position;
  } trackbars[] = {{kRefreshTimeTrackbarId, 500, 7000, 1234},
                   {kTimeIntervalTrackbarId, 50, 5000, 777}};
  for (const auto& t : trackbars) {
    const HWND trackbar =
        CreateWindowExA(0, TRACKBAR_CLASSA, "", WS_CHILD, 0, 0, 200, 30, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(t.id)), instance, nullptr);
    ASSERT_NE(trackbar, nullptr);
    SendMessageA(trackbar, TBM_SETRANGEMIN, FALSE, t.low);
    SendMessageA(trackbar, TBM_SETRANGEMAX, FALSE, t.high);
    SendMessageA(trackbar, TBM_SETPOS, TRUE, t.position);
  }
  AppendTexturesFromMultiString("C:\\T\\a.bmp\0\0", 12);

  EXPECT_EQ(SaveSettings(dialog), 1);
  DestroyWindow(dialog);
  EXPECT_EQ(Stored("Refresh Time").second, Dword(12340));
  EXPECT_EQ(Stored("Time Interval").second, Dword(777));
  EXPECT_EQ(Stored("Color Difference").second, Dword(21));
  EXPECT_EQ(Stored("Texture").second, "C:\\T\\a.bmp\0\0"s);
  EXPECT_EQ(Stored("AppFolder").first, 0u);
}

}  // namespace
