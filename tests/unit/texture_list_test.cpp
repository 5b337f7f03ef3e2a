#include "settings/texture_list.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace std::string_literals;
using Paths = std::vector<std::string>;

namespace {

class TextureListTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetTextureList(); }
};

Paths Entries() {
  Paths entries;
  for (std::int32_t i = 0; i < TextureCount(); ++i)
    entries.emplace_back(TextureAt(i));
  return entries;
}

// The parsers see exactly `bytes`; what follows is not NUL, so a read past the end shows.
std::vector<char> Padded(const std::string& bytes) {
  std::vector<char> buffer(bytes.begin(), bytes.end());
  buffer.insert(buffer.end(), 16, 'Z');
  return buffer;
}

void ParseBlock(const std::string& block) {
  AppendTexturesFromMultiString(Padded(block).data(), block.size());
}

void ParseDialog(const std::string& buffer) {
  AppendTexturesFromFileDialog(Padded(buffer).data(), buffer.size());
}

TEST_F(TextureListTest, BlockParsingEndsAtFirstEmptyStringOrEndOfData) {
  const struct {
    std::string block;
    Paths expected;
  } cases[] = {
      {""s, {}},
      {"\0"s, {}},
      {"\0a.bmp\0\0"s, {}},
      {"a.bmp\0\0"s, {"a.bmp"}},
      {"x\0\0y\0\0"s, {"x"}},
      {"C:\\a.bmp\0D:\\b.png\0\0"s, {"C:\\a.bmp", "D:\\b.png"}},
      {"a.bmp\0"s, {"a.bmp"}},       // final empty string missing
      {"a.bmp\0b.bmp"s, {"a.bmp"}},  // last string possibly cut: dropped
      {"a.bmp"s, {}},
  };
  for (const auto& c : cases) {
    ResetTextureList();
    ParseBlock(c.block);
    EXPECT_EQ(Entries(), c.expected) << testing::PrintToString(c.block);
  }
}

TEST_F(TextureListTest, BlockAppendsAfterExistingEntriesAndSkipsOverlongPaths) {
  ParseBlock("old\0\0"s);
  const std::string longest(kTexturePathBytes - 1, 'p'), tooLong(kTexturePathBytes, 'q');
  ParseBlock(tooLong + '\0' + longest + '\0' + "new\0\0"s);
  EXPECT_EQ(Entries(), (Paths{"old", longest, "new"}));
}

TEST_F(TextureListTest, SingleAndMultipleSelections) {
  ParseDialog("C:\\T\\a.bmp\0\0"s);
  ParseDialog("C:\\T\0a.bmp\0b.jpg\0\0"s);
  ParseDialog("D:\\\0a.bmp\0b.bmp\0\0"s);  // drive root: the separator doubles
  ParseDialog("\0\0"s);
  ParseDialog("C:\\U\0c.bmp\0d.bm"s);  // unterminated last name
  EXPECT_EQ(Entries(), (Paths{"C:\\T\\a.bmp", "C:\\T\\a.bmp", "C:\\T\\b.jpg", "D:\\\\a.bmp",
                              "D:\\\\b.bmp", "C:\\U\\c.bmp"}));
}

TEST_F(TextureListTest, MultiSelectionStopsAtOffsetLimitCountedFromBufferStart) {
  // Names start at offsets 5, 36, 67, ...; the limit is kTexturePathBytes - 1 - 5.
  const int taken = static_cast<int>((kTexturePathBytes - 1 - 5 - 5 + 30) / 31);
  std::string buffer = "C:\\T\0"s;
  for (int k = 0; k < taken + 3; ++k)
    buffer += std::string(29, static_cast<char>('A' + k)) + ".\0"s;  // 30 characters
  ParseDialog(buffer + '\0');
  ASSERT_EQ(TextureCount(), taken);
  EXPECT_EQ(Entries().back(),
            "C:\\T\\" + std::string(29, static_cast<char>('A' + taken - 1)) + ".");

  // The second name at offset kTexturePathBytes - 7 is taken, the one a byte further is not.
  for (const std::size_t length : {kTexturePathBytes - 13, kTexturePathBytes - 12}) {
    ResetTextureList();
    ParseDialog("C:\\T\0"s + std::string(length, 'a') + "\0b.bmp\0\0"s);
    EXPECT_EQ(TextureCount(), length == kTexturePathBytes - 13 ? 2 : 1) << length;
  }
  const std::size_t longestDirectory = (kTexturePathBytes - 4) / 2;
  for (const std::size_t length : {longestDirectory, longestDirectory + 1, kTexturePathBytes}) {
    ResetTextureList();
    ParseDialog(std::string(length, 'd') + "\0a.bmp\0b.bmp\0\0"s);
    EXPECT_EQ(TextureCount(), length == longestDirectory ? 1 : 0) << length;
  }
}

TEST_F(TextureListTest, LongNamesTakenWholeWhenJoinedPathFits) {
  const std::string name200(200, 'n');
  ParseDialog("C:\\T\0"s + name200 + "\0\0"s);
  ParseDialog(std::string(kTexturePathBytes - 1, 's') + "\0\0"s);
  ParseDialog(std::string(kTexturePathBytes, 's') + "\0\0"s);
  ParseDialog("C:\\" + std::string(100, 'e') + '\0' + std::string(kTexturePathBytes - 101, 'f') +
              "\0\0"s);
  EXPECT_EQ(Entries(), (Paths{"C:\\T\\" + name200, std::string(kTexturePathBytes - 1, 's')}));
}

TEST_F(TextureListTest, EncodingLengthsAndRoundTrip) {
  EXPECT_EQ(EncodeTextureMultiString(), std::vector<std::uint8_t>{0});
  ParseBlock("x\0\0"s);
  EXPECT_EQ(EncodeTextureMultiString(), (std::vector<std::uint8_t>{'x', 0, 0}));

  ResetTextureList();
  const Paths paths = {"C:\\a.bmp", "D:\\b.png", "C:\\a.bmp",
                       std::string(kTexturePathBytes - 1, 'z')};
  for (const std::string& path : paths)
    ParseDialog(path + "\0\0"s);
  const std::vector<std::uint8_t> block = EncodeTextureMultiString();
  EXPECT_EQ(block.size(), 9u + 9u + 9u + kTexturePathBytes + 1u);
  ResetTextureList();
  ParseBlock(std::string(block.begin(), block.end()));
  EXPECT_EQ(Entries(), paths);
}

TEST_F(TextureListTest, DisplayNamesFollowLastBackslashAndFitTheBuffer) {
  const struct {
    std::string path, expected;
    std::size_t bufferSize;
  } cases[] = {
      {"C:\\T\\a.bmp", "a.bmp", 128},
      {"a.bmp", "a.bmp", 128},
      {"C:\\T\\", "", 128},
      {"C:/T/a.bmp", "C:/T/a.bmp", 128},
      {"C:\\" + std::string(200, 'n'), std::string(127, 'n'), 128},
      {"C:\\abc", "ab", 3},
  };
  for (const auto& c : cases) {
    char buffer[160];
    std::memset(buffer, 0x7F, sizeof buffer);
    TextureDisplayName(c.path, buffer, c.bufferSize);
    EXPECT_EQ(std::string(buffer), c.expected) << c.path;
    EXPECT_EQ(buffer[c.bufferSize], 0x7F) << c.path;
  }
  char untouched = 0x7F;
  TextureDisplayName("a.bmp", &untouched, 0);
  EXPECT_EQ(untouched, 0x7F);
}

TEST_F(TextureListTest, RemovalShiftsLaterEntriesAndIgnoresBadPositions) {
  ParseBlock("a\0b\0c\0\0"s);
  RemoveTextureAt(3);
  RemoveTextureAt(-1);
  EXPECT_EQ(TextureCount(), 3);
  RemoveTextureAt(0);
  EXPECT_EQ(Entries(), (Paths{"b", "c"}));
  EXPECT_EQ(TextureAt(2), nullptr);
  EXPECT_EQ(TextureAt(-1), nullptr);
}

}  // namespace
