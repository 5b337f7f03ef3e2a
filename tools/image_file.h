// Picture files for vesperine-render: decoding PNG, JPEG, GIF and BMP into pixel buffers the engine
// can work on, textures through the saver's own loader, and writing a surface back out as PNG.
#pragma once

#include <string>

#include "raster/raster.h"

class TextureImage;

// ---- Functions -------------------------------------------------------------------------------

// Decodes the picture at `path` (PNG, JPEG, GIF's first frame or BMP) into a top-down kBgrx32
// buffer, pixel values exactly as decoded: no colour management, 16-bit channels reduced to their
// high byte. The fourth byte of each pixel is the picture's alpha when `keepAlpha`, else 0. On
// failure returns false with the reason in `error` and leaves `out` unspecified.
bool LoadPicture(const std::string& path, PixelBuffer& out, bool keepAlpha, std::string& error);

// The desktop picture of a command: LoadPicture without alpha, its error naming the file.
bool LoadDesktopPicture(const std::string& path, PixelBuffer& out, std::string& error);

// Loads a texture as the saver does (TextureImage::LoadFromFile, decoded by stb here). On failure
// returns false with a one-line reason in `error`.
bool LoadTexture(const std::string& path, TextureImage& image, std::string& error);

// Writes `surface` as an 8-bit RGB PNG without alpha. The file appears whole or not at all: it is
// written under a temporary name beside `path` and renamed into place. On failure returns false
// with the reason in `error`, and `path` is as it was.
bool SavePng(const std::string& path, const Surface& surface, std::string& error);
