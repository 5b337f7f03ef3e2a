// The settings store on the real registry (wine's): what a save leaves in HKCU and what a load
// makes of values that other programs may have stored.
#include "settings/settings_store.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/registry.h"
#include "settings/texture_list.h"

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr char kVendorKey[] = "Software\\Ondrel";

void DeleteVendorKey() {
  RegDeleteTreeA(HKEY_CURRENT_USER, kVendorKey);
}

class SettingsRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteVendorKey();
    ResetTextureList();
    ResetSaverSettings();
  }
  void TearDown() override { DeleteVendorKey(); }
};

bool KeyExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// Stores exactly `bytes`. The byte after them is not NUL: RegSetValueExA counts a string's
// terminator in when the caller left it out and one follows.
void Store(const char* name, DWORD type, const std::string& bytes) {
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

std::string Dword(std::uint32_t value) {
  return std::string(reinterpret_cast<char*>(&value), 4);
}

// The value's type and bytes; type 0 when absent.
std::pair<DWORD, std::string> Stored(const char* name) {
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

void ExpectDefaults() {
  EXPECT_STREQ(SaverSettings.AppFolder, "C:\\Program Files\\Ondrel\\Vesperine\\");
  EXPECT_EQ(SaverSettings.RefreshTime, 50000);
  EXPECT_EQ(SaverSettings.TimeInterval, 3500);
  EXPECT_EQ(SaverSettings.ColorDifference, 21);
}

TEST_F(SettingsRegistryTest, LoadCreatesMissingKeyAndGivesDefaults) {
  ASSERT_FALSE(KeyExists());
  LoadSettings();
  EXPECT_TRUE(KeyExists());
  ExpectDefaults();
  EXPECT_EQ(TextureCount(), 0);
}

TEST_F(SettingsRegistryTest, WrittenSettingsReadBack) {
  AppendTexturesFromMultiString("C:\\T\\a.bmp\0D:\\\\b.png\0\0", 23);
  EXPECT_EQ(WriteSettings(1234, 777), 1);
  EXPECT_EQ(Stored("Refresh Time"), std::make_pair(DWORD{REG_DWORD}, Dword(12340)));
  EXPECT_EQ(Stored("Time Interval"), std::make_pair(DWORD{REG_DWORD}, Dword(777)));
  EXPECT_EQ(Stored("Color Difference"), std::make_pair(DWORD{REG_DWORD}, Dword(21)));
  EXPECT_EQ(Stored("Texture"),
            std::make_pair(DWORD{REG_MULTI_SZ}, "C:\\T\\a.bmp\0D:\\\\b.png\0\0"s));
  EXPECT_EQ(Stored("AppFolder").first, 0u);

  ResetTextureList();
  Store("Color Difference", REG_DWORD, Dword(40));
  Store("AppFolder", REG_SZ, "E:\\Pictures\\\0"s);
  LoadSettings();
  EXPECT_STREQ(SaverSettings.AppFolder, "E:\\Pictures\\");
  EXPECT_EQ(SaverSettings.RefreshTime, 12340);
  EXPECT_EQ(SaverSettings.TimeInterval, 777);
  EXPECT_EQ(SaverSettings.ColorDifference, 40);
  ASSERT_EQ(TextureCount(), 2);
  EXPECT_STREQ(TextureAt(1), "D:\\\\b.png");

  ResetTextureList();
  WriteSettings(500, 50);
  EXPECT_EQ(Stored("Texture"), std::make_pair(DWORD{REG_MULTI_SZ}, "\0"s));
  EXPECT_EQ(Stored("Color Difference").second, Dword(21));
  EXPECT_EQ(Stored("AppFolder").second, "E:\\Pictures\\\0"s);
}

TEST_F(SettingsRegistryTest, OddValuesGiveDefaults) {
  Store("AppFolder", REG_EXPAND_SZ, "E:\\Pictures\0"s);
  Store("Refresh Time", REG_SZ, "60000\0"s);
  Store("Time Interval", REG_DWORD, "\1\2\3"s);
  Store("Color Difference", REG_DWORD, Dword(30) + Dword(0));
  Store("Texture", REG_SZ, "C:\\a.bmp\0"s);
  ASSERT_EQ(Stored("Time Interval").second.size(), 3u);
  LoadSettings();
  ExpectDefaults();
  EXPECT_EQ(TextureCount(), 0);

  Store("AppFolder", REG_SZ, std::string(599, 'd') + '\0');
  Store("Time Interval", REG_DWORD, Dword(0xFFFFFFFF));
  LoadSettings();
  EXPECT_STREQ(SaverSettings.AppFolder, "C:\\Program Files\\Ondrel\\Vesperine\\");
  EXPECT_EQ(SaverSettings.TimeInterval, -1);
}

TEST_F(SettingsRegistryTest, UnterminatedAndOverlongValuesStayWithinBuffers) {
  Store("AppFolder", REG_SZ, "E:\\Pictures");
  Store("Texture", REG_MULTI_SZ, "C:\\a.bmp\0C:\\b.b"s);
  ASSERT_EQ(Stored("AppFolder").second, "E:\\Pictures") << "stored with no terminator";
  ASSERT_EQ(Stored("Texture").second, "C:\\a.bmp\0C:\\b.b"s);
  LoadSettings();
  EXPECT_STREQ(SaverSettings.AppFolder, "E:\\Pictures");
  ASSERT_EQ(TextureCount(), 1);
  EXPECT_STREQ(TextureAt(0), "C:\\a.bmp");

  std::string block;  // 90 entries of 100 bytes, all past the first 8192 bytes too
  for (int i = 0; i < 90; ++i)
    block += std::string(98, 'a' + i % 26) + char('0' + i % 10) + '\0';
  Store("Texture", REG_MULTI_SZ, block + '\0');
  ResetTextureList();
  LoadSettings();
  ASSERT_EQ(TextureCount(), 90);
  EXPECT_EQ(std::string(TextureAt(89)), block.substr(8900, 99));
}

// Loading opens the key for reading only; a save opens it for writing.
TEST_F(SettingsRegistryTest, LoadingOpensTheKeyReadOnly) {
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

TEST_F(SettingsRegistryTest, SaveReadsTheDialogTrackbars) {
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
