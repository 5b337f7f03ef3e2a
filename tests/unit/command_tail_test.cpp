#include "shell/command_tail.h"

#include <string>

#include <gtest/gtest.h>

namespace {

const char* NextByte(const char* c) {
  return *c != '\0' ? c + 1 : c;
}

// A double-byte code page in miniature: 0x81 leads a two-byte character.
const char* NextDoubleByte(const char* c) {
  if (*c == '\0') return c;
  if (static_cast<unsigned char>(*c) == 0x81 && c[1] != '\0') return c + 2;
  return c + 1;
}

std::string Tail(const char* commandLine) {
  return SkipProgramName(commandLine, NextByte);
}

void ExpectSwitch(const char* tail, SaverMode mode, std::uint32_t windowValue) {
  const TailSwitch found = ScanCommandTail(tail);
  EXPECT_EQ(found.mode, mode) << "tail \"" << tail << "\"";
  EXPECT_EQ(found.windowValue, windowValue) << "tail \"" << tail << "\"";
}

TEST(SkipProgramName, CutsQuotedAndUnquotedNamesAndTheBlanksAfterThem) {
  EXPECT_EQ(Tail("\"C:\\Program Files\\Vesperine.scr\" /s"), "/s");
  EXPECT_EQ(Tail("\"C:\\a b\\x.scr\"/p 656"), "/p 656");
  EXPECT_EQ(Tail("C:\\WINDOWS\\VESPER~1.SCR \t \t/c:12"), "/c:12");
  EXPECT_EQ(Tail("x.scr\x01\x1f /a"), "/a");
  EXPECT_EQ(Tail("x.scr"), "");
  EXPECT_EQ(Tail("x.scr    "), "");
  EXPECT_EQ(Tail(""), "");
  // An unclosed quote runs to the end.
  EXPECT_EQ(Tail("\"C:\\a b\\x.scr /s"), "");
  EXPECT_EQ(Tail("\"\" /s"), "/s");
}

TEST(SkipProgramName, HighBytesBelongToTheNameAndTheTailStartsAtTheFirstOtherByte) {
  EXPECT_EQ(Tail("C:\\\xe9t\xe9.scr /s"), "/s");
  // Blanks end the name, but after it only bytes up to 0x20 are skipped.
  EXPECT_EQ(Tail("x.scr \xa0/s"), "\xa0/s");
  // With no name at all the blanks in front of the switch are still skipped.
  EXPECT_EQ(Tail("  /s"), "/s");
}

TEST(SkipProgramName, StepsThroughTheNameCharacterByCharacter) {
  // The trail byte of a double-byte character is no closing quote.
  EXPECT_EQ(SkipProgramName("\"a\x81\"b\" /s", NextDoubleByte), std::string("/s"));
  EXPECT_EQ(SkipProgramName("\"a\x81\"b\" /s", NextByte), std::string("b\" /s"));
  EXPECT_EQ(SkipProgramName("a\x81 b /s", NextDoubleByte), std::string("/s"));
}

TEST(ScanCommandTail, EmptyTailOpensTheSettingsWithoutParent) {
  ExpectSwitch("", SaverMode::kSettingsNoParent, 0);
  ExpectSwitch(" - / ", SaverMode::kSettingsNoParent, 0);
}

TEST(ScanCommandTail, FullScreenWhateverPrefixesAndTrailingText) {
  for (const char* tail : {"/s", "-s", "s", "/S", "/ -s", "--s", "/s 656 /p 12", "sabc", "- -//S"})
    ExpectSwitch(tail, SaverMode::kFullScreen, 0);
}

TEST(ScanCommandTail, PreviewReadsTheHandleAfterBlanksOnly) {
  ExpectSwitch("/p 656", SaverMode::kPreview, 656);
  ExpectSwitch("/p656", SaverMode::kPreview, 656);
  ExpectSwitch("/P    656", SaverMode::kPreview, 656);
  ExpectSwitch("/l 656", SaverMode::kPreview, 656);
  ExpectSwitch("/L656", SaverMode::kPreview, 656);
  ExpectSwitch("/p 656ab", SaverMode::kPreview, 656);
  ExpectSwitch("/p 65 6", SaverMode::kPreview, 65);
  ExpectSwitch("/p:656", SaverMode::kPreview, 0);
  ExpectSwitch("/p", SaverMode::kPreview, 0);
  ExpectSwitch("/p 0", SaverMode::kPreview, 0);
  ExpectSwitch("/p\t656", SaverMode::kPreview, 0);
  ExpectSwitch("/p -656", SaverMode::kPreview, 0);
}

TEST(ScanCommandTail, SettingsReadTheHandleOnlyRightAfterAColon) {
  ExpectSwitch("/c:656", SaverMode::kSettings, 656);
  ExpectSwitch("C:656", SaverMode::kSettings, 656);
  ExpectSwitch("/c", SaverMode::kSettings, 0);
  ExpectSwitch("/c 656", SaverMode::kSettings, 0);
  ExpectSwitch("/c: 656", SaverMode::kSettings, 0);
  ExpectSwitch("/c656", SaverMode::kSettings, 0);
  ExpectSwitch("/c:", SaverMode::kSettings, 0);
}

TEST(ScanCommandTail, ChangePasswordReadsTheHandleAfterBlanks) {
  ExpectSwitch("/a 656", SaverMode::kChangePassword, 656);
  ExpectSwitch("-A656", SaverMode::kChangePassword, 656);
  ExpectSwitch("/a", SaverMode::kChangePassword, 0);
  ExpectSwitch("/a:656", SaverMode::kChangePassword, 0);
}

TEST(ScanCommandTail, AnyOtherFirstByteIsUnrecognised) {
  for (const char* tail : {"/x", "/?", "x", "\t/s", "1", "/\x80s", "\xd3", "/ \xff", ":s"})
    ExpectSwitch(tail, SaverMode::kUnrecognised, 0);
}

TEST(ParseWindowHandle, DecimalDigitsWrapModuloTwoToThe32) {
  EXPECT_EQ(ParseWindowHandle(""), 0u);
  EXPECT_EQ(ParseWindowHandle("x12"), 0u);
  EXPECT_EQ(ParseWindowHandle("+12"), 0u);
  EXPECT_EQ(ParseWindowHandle("0x1F"), 0u);
  EXPECT_EQ(ParseWindowHandle("007"), 7u);
  EXPECT_EQ(ParseWindowHandle("4294967295"), 4294967295u);
  EXPECT_EQ(ParseWindowHandle("4294967296"), 0u);
  EXPECT_EQ(ParseWindowHandle("4294967953"), 657u);
  EXPECT_EQ(ParseWindowHandle("99999999999999999999"), 1661992959u);
  ExpectSwitch("/p 4294967952", SaverMode::kPreview, 656);
}

}  // namespace
