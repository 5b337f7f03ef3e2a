// The settings dialog's template as the resource compiler left it in the module: header, font and
// every control in order, with the ordinals of the predefined classes. What the dialog does runs
// end to end against the real saver (tests/e2e/dialog).
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "settings/settings_dialog_ids.h"

namespace {

constexpr std::uint16_t kButton = 0x80, kStatic = 0x82, kListBox = 0x83;

// A sz_Or_Ord field: an ordinal, or else a string.
struct NameOrOrdinal {
  std::uint16_t ordinal = 0;
  std::string text;
  bool operator==(const NameOrOrdinal& other) const {
    return ordinal == other.ordinal && text == other.text;
  }
};

struct Control {
  std::uint32_t exStyle, style;
  std::int16_t x, y, cx, cy;
  std::int32_t id;
  NameOrOrdinal windowClass, text;
};

class TemplateReader {
 public:
  explicit TemplateReader(const std::uint8_t* data) : data_(data) {}
  template <typename T>
  T Read() {
    T value;
    std::memcpy(&value, data_ + at_, sizeof value);
    at_ += sizeof value;
    return value;
  }
  // UTF-16 text of the ASCII range, up to its NUL.
  std::string Text() {
    std::string text;
    for (std::uint16_t c = Read<std::uint16_t>(); c != 0; c = Read<std::uint16_t>())
      text += static_cast<char>(c);
    return text;
  }
  NameOrOrdinal Name() {
    std::uint16_t first;
    std::memcpy(&first, data_ + at_, sizeof first);
    if (first == 0xFFFF) {
      at_ += 2;
      return {Read<std::uint16_t>(), ""};
    }
    return {0, Text()};
  }
  void AlignToDword() { at_ = (at_ + 3) & ~std::size_t{3}; }
  void Skip(std::size_t bytes) { at_ += bytes; }

 private:
  const std::uint8_t* data_;
  std::size_t at_ = 0;
};

std::string Upper(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

TEST(SettingsDialogTemplate, HoldsTheDialogAndItsControlsExactly) {
  const HMODULE module = GetModuleHandleA(nullptr);
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_SETTINGS), RT_DIALOG);
  ASSERT_NE(found, nullptr);
  TemplateReader reader(
      static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found))));

  EXPECT_EQ(reader.Read<std::uint16_t>(), 1);  // DLGTEMPLATEEX
  EXPECT_EQ(reader.Read<std::uint16_t>(), 0xFFFF);
  EXPECT_EQ(reader.Read<std::uint32_t>(), 0u);  // help id
  EXPECT_EQ(reader.Read<std::uint32_t>(), 0u);  // extended style
  EXPECT_EQ(reader.Read<std::uint32_t>(), 0x80C800C8u);
  const auto count = reader.Read<std::uint16_t>();
  const std::int16_t frame[] = {reader.Read<std::int16_t>(), reader.Read<std::int16_t>(),
                                reader.Read<std::int16_t>(), reader.Read<std::int16_t>()};
  EXPECT_EQ(std::vector<std::int16_t>(frame, frame + 4),
            (std::vector<std::int16_t>{0, 0, 366, 135}));
  EXPECT_EQ(reader.Name(), NameOrOrdinal{});  // no menu
  EXPECT_EQ(reader.Name(), NameOrOrdinal{});  // the dialog class
  EXPECT_EQ(reader.Text(), "Dialog");
  EXPECT_EQ(reader.Read<std::uint16_t>(), 8);  // points
  EXPECT_EQ(reader.Read<std::uint16_t>(), 400);
  EXPECT_EQ(reader.Read<std::uint8_t>(), 0);  // not italic
  EXPECT_EQ(reader.Read<std::uint8_t>(), 1);  // character set
  EXPECT_EQ(reader.Text(), "MS Shell Dlg");

  const Control expected[] = {
      {0, 0x50A10101, 11, 22, 152, 69, IDC_TEXTURE_LIST, {kListBox, ""}, {}},
      {0, 0x50020000, 7, 116, 81, 8, -1, {kStatic, ""}, {0, "Vesperine Light"}},
      {0, 0x50010011, 184, 42, 164, 16, IDC_REFRESH_SLIDER, {0, "MSCTLS_TRACKBAR32"}, {}},
      {0, 0x50010011, 184, 83, 164, 16, IDC_SPEED_SLIDER, {0, "MSCTLS_TRACKBAR32"}, {}},
      {0, 0x50010000, 172, 115, 56, 14, IDC_APPLY, {kButton, ""}, {0, "Apply"}},
      {0, 0x50010000, 238, 115, 56, 14, IDCANCEL, {kButton, ""}, {0, "Cancel"}},
      {0, 0x50010001, 303, 115, 56, 14, IDOK, {kButton, ""}, {0, "OK"}},
      {0, 0x50000007, 6, 7, 162, 106, -1, {kButton, ""}, {0, "Textures"}},
      {0, 0x50000007, 171, 7, 188, 106, -1, {kButton, ""}, {0, "Settings"}},
      {0, 0x50020000, 184, 33, 33, 8, -1, {kStatic, ""}, {0, "Frequenly"}},
      {0, 0x50020000, 184, 74, 15, 8, -1, {kStatic, ""}, {0, "Fast"}},
      {0, 0x50000007, 178, 24, 178, 37, -1, {kButton, ""}, {0, "Refresh"}},
      {0, 0x50020000, 326, 33, 22, 8, -1, {kStatic, ""}, {0, "Rarely"}},
      {0, 0x50000007, 177, 63, 179, 40, -1, {kButton, ""}, {0, "Filling Speed"}},
      {0, 0x50020000, 316, 74, 16, 8, -1, {kStatic, ""}, {0, "Slow"}},
  };
  const std::size_t templateControls = sizeof expected / sizeof expected[0];
  ASSERT_EQ(count, templateControls + 2);
  std::vector<Control> controls;
  for (int i = 0; i < count; ++i) {
    reader.AlignToDword();
    Control control{};
    reader.Read<std::uint32_t>();  // help id
    control.exStyle = reader.Read<std::uint32_t>();
    control.style = reader.Read<std::uint32_t>();
    control.x = reader.Read<std::int16_t>();
    control.y = reader.Read<std::int16_t>();
    control.cx = reader.Read<std::int16_t>();
    control.cy = reader.Read<std::int16_t>();
    control.id = reader.Read<std::int32_t>();
    control.windowClass = reader.Name();
    control.windowClass.text = Upper(control.windowClass.text);  // class names know no case
    control.text = reader.Name();
    reader.Skip(reader.Read<std::uint16_t>());
    controls.push_back(control);
  }
  for (std::size_t i = 0; i < templateControls; ++i) {
    SCOPED_TRACE("control " + std::to_string(i + 1));
    const Control& want = expected[i];
    const Control& got = controls[i];
    EXPECT_EQ(got.exStyle, want.exStyle);
    EXPECT_EQ(got.style, want.style);
    EXPECT_EQ((std::vector<int>{got.x, got.y, got.cx, got.cy}),
              (std::vector<int>{want.x, want.y, want.cx, want.cy}));
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.windowClass, want.windowClass);
    EXPECT_EQ(got.text, want.text);
  }

  // Add and Remove: tab-stop push buttons side by side in the "Textures" group, under the list.
  const Control& list = controls[0];
  const Control& group = controls[7];
  const Control* previous = nullptr;
  for (const std::int32_t id : {IDC_ADD_TEXTURE, IDC_REMOVE_TEXTURE}) {
    const Control& button = controls[templateControls + (id - IDC_ADD_TEXTURE)];
    SCOPED_TRACE("button " + std::to_string(id));
    EXPECT_EQ(button.id, id);
    EXPECT_EQ(button.windowClass, (NameOrOrdinal{kButton, ""}));
    EXPECT_EQ(button.style, 0x50010000u);
    EXPECT_FALSE(button.text.text.empty());
    EXPECT_GE(button.y, list.y + list.cy);
    EXPECT_LE(button.y + button.cy, group.y + group.cy - 2);
    EXPECT_GE(button.x, group.x + 2);
    EXPECT_LE(button.x + button.cx, group.x + group.cx - 2);
    if (previous != nullptr) {
      EXPECT_GE(button.x, previous->x + previous->cx);
    }
    previous = &button;
  }
}

}  // namespace
