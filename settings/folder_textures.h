// The textures of a first start: before the user has stored any list, the saver shows the picture
// files that the installer put in its folder. Portable header.
#pragma once

// ---- Constants -------------------------------------------------------------------------------

// The picture files a first start takes, by extension in any case.
constexpr const char* kFolderTextureExtensions[] = {".bmp", ".gif", ".jpg", ".jpeg", ".png"};

// ---- Functions -------------------------------------------------------------------------------

// Appends to the TextureList the picture files directly in `folder`, as full paths, in name order
// (ASCII case ignored, then byte order). Paths that would exceed the list's working limit are
// skipped. A missing or unreadable folder appends nothing.
void AppendTexturesFromFolder(const char* folder);
