// Loading texture files, written once and compiled against both decoder bindings:
// texture_image_test.cpp (stb and the memory GDI) and tests/win32/texture_image_test.cpp (GDI+
// and real DIB sections). The including file defines, before it includes this:
//   class TextureImageTest   the fixture: Write(name, bytes) and PathOf(name) in a folder of its
//                            own, and a MessageCapture
//   void ExpectPixels(TextureImage&, const picture_files::Source&, bool alpha)
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/texture_list.h"
#include "textures/gdiplus_state.h"
#include "textures/texture_image.h"
#include "tests/unit/message_capture.h"
#include "tests/unit/picture_files.h"
#include "tests/unit/picture_sources.h"

TEST_F(TextureImageTest, BrokenFilesFailAndLeaveTheImageEmpty) {
  std::vector<std::string> paths = {PathOf("missing.png")};
  for (const auto& [name, bytes] : picture_files::BrokenPictureFiles())
    paths.push_back(Write(name, bytes));
  for (const std::string& path : paths) {
    TextureImage image;
    EXPECT_EQ(image.LoadFromFile(path.c_str()), kTextureFail) << path;
    EXPECT_EQ(image.bitmap, nullptr) << path;
  }
}

TEST_F(TextureImageTest, LoadsTheGoodFilesInListOrderAndReportsEachBrokenOne) {
  const picture_files::Source first = picture_files::MakeDib(24);
  const picture_files::Source second = picture_files::MakePng(8, true);
  const picture_files::Source third = picture_files::MakeDib(8, 7);
  const std::string missing = PathOf("gone.bmp");
  const std::string text = Write("text.png", picture_files::Bytes{'h', 'e', 'l', 'l', 'o'});
  std::string block;
  for (const std::string& path :
       {Write("first.bmp", first.file), missing, Write("second.png", second.file), text,
        Write("third.bmp", third.file)}) {
    block += path + '\0';
  }
  block += '\0';
  AppendTexturesFromMultiString(block.data(), block.size());

  LoadTextureImages();

  ASSERT_EQ(TextureSet.Count(), 3);
  ExpectPixels(*TextureSet.At(0), first, false);
  ExpectPixels(*TextureSet.At(1), second, true);
  ExpectPixels(*TextureSet.At(2), third, false);
  EXPECT_EQ(TextureSet.At(3), nullptr);
  const std::string tail =
      "!\nWrong texture name or missed file. This texture will not be displayed.";
  ASSERT_EQ(CapturedMessages.size(), 2u);
  EXPECT_EQ(CapturedMessages[0].first, "Error loading textures from file\n" + missing + tail);
  EXPECT_EQ(CapturedMessages[1].first, "Error loading textures from file\n" + text + tail);
  for (const auto& message : CapturedMessages)
    EXPECT_EQ(message.second, "Message");
  EXPECT_EQ(GdiplusState.LiveImages(), 3);
  EXPECT_NE(GdiplusState.Token(), 0u);

  TextureSet.DestroyImages();
  EXPECT_EQ(GdiplusState.Token(), 0u);
}

TEST_F(TextureImageTest, NothingLoadedGivesTheClosingMessage) {
  LoadTextureImages();
  const std::string closing =
      "No textures were selected and loaded!\nScreensaver can't be started properly.";
  ASSERT_EQ(CapturedMessages.size(), 1u);
  EXPECT_EQ(CapturedMessages[0].first, closing);
  EXPECT_EQ(TextureSet.Count(), 0);

  CapturedMessages.clear();
  const std::string block = PathOf("a.png") + '\0' + '\0';
  AppendTexturesFromMultiString(block.data(), block.size());
  LoadTextureImages();
  ASSERT_EQ(CapturedMessages.size(), 2u);
  EXPECT_EQ(CapturedMessages[1].first, closing);
  EXPECT_EQ(GdiplusState.LiveImages(), 0);
}
