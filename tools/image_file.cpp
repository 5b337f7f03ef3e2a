#include "tools/image_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "textures/texture_image.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

enum class Signature { kKnown, kUnknown, kReadError };

// stb would also guess at TGA, which has no signature, and so take almost any bytes for a picture;
// only the four formats we promise get past this.
Signature CheckSignature(std::FILE* file) {
  unsigned char head[8] = {};
  std::size_t count = std::fread(head, 1, sizeof head, file);
  if (std::ferror(file) || std::fseek(file, 0, SEEK_SET) != 0) return Signature::kReadError;
  bool png = count >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0;
  bool jpeg = count >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
  bool gif =
      count >= 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0);
  bool bmp = count >= 2 && head[0] == 'B' && head[1] == 'M';
  return png || jpeg || gif || bmp ? Signature::kKnown : Signature::kUnknown;
}

struct EncodedPng {
  std::vector<unsigned char> bytes;
  bool outOfMemory = false;
};

// Called from C: an exception must not pass through it.
void AppendBytes(void* context, void* data, int size) {
  auto* png = static_cast<EncodedPng*>(context);
  auto* begin = static_cast<unsigned char*>(data);
  try {
    png->bytes.insert(png->bytes.end(), begin, begin + size);
  } catch (const std::bad_alloc&) {
    png->outOfMemory = true;
  }
}

bool WriteAll(int fd, const std::vector<unsigned char>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

// Beside the target so that the rename stays on one file system and is atomic.
bool ReplaceFile(const std::string& path, const std::vector<unsigned char>& bytes,
                 std::string& error) {
  std::string pattern = path + ".XXXXXX";
  std::vector<char> temporary(pattern.begin(), pattern.end());
  temporary.push_back('\0');
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  // mkstemp makes the file private; the result should get the mode a plain create would give.
  mode_t mask = ::umask(0);
  ::umask(mask);
  bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && WriteAll(fd, bytes);
  int savedErrno = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && std::rename(temporary.data(), path.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    ::unlink(temporary.data());
    error = std::strerror(savedErrno);
  }
  return ok;
}

}  // namespace

bool LoadPicture(const std::string& path, PixelBuffer& out, bool keepAlpha, std::string& error) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  switch (CheckSignature(file.get())) {
    case Signature::kKnown:
      break;
    case Signature::kUnknown:
      error = "not a PNG, JPEG, GIF or BMP picture";
      return false;
    case Signature::kReadError:
      error = std::strerror(errno);
      return false;
  }

  // These are process-wide settings; set them every time so that the pixels are exactly the
  // file's, whatever anything else in the process asked for.
  stbi_set_flip_vertically_on_load(0);
  stbi_convert_iphone_png_to_rgb(0);
  stbi_set_unpremultiply_on_load(0);
  int width = 0;
  int height = 0;
  int channelsInFile = 0;
  std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
      stbi_load_from_file(file.get(), &width, &height, &channelsInFile, 4), &stbi_image_free);
  if (!rgba) {
    const char* reason = stbi_failure_reason();
    error = std::string("cannot decode: ") + (reason ? reason : "unknown error");
    return false;
  }
  if (!AllocatePixelBuffer(out, width, height, PixelLayout::kBgrx32)) {
    error = "no memory for a picture of " + std::to_string(width) + "x" + std::to_string(height);
    return false;
  }

  const stbi_uc* source = rgba.get();
  for (int y = 0; y < height; ++y) {
    std::uint8_t* pixel = SurfaceRow(out.surface, y);
    for (int x = 0; x < width; ++x, source += 4, pixel += 4) {
      pixel[0] = source[2];
      pixel[1] = source[1];
      pixel[2] = source[0];
      pixel[3] = keepAlpha ? source[3] : 0;
    }
  }
  return true;
}

bool LoadDesktopPicture(const std::string& path, PixelBuffer& out, std::string& error) {
  if (LoadPicture(path, out, false, error)) return true;
  error = "cannot read desktop picture '" + path + "': " + error;
  return false;
}

bool LoadTexture(const std::string& path, TextureImage& image, std::string& error) {
  const TextureStatus status = image.LoadFromFile(path.c_str());
  if (status == kTextureOk) return true;
  if (status == kTextureOutOfMemory) {
    error = "out of memory";
    return false;
  }
  // The loader tells only that it failed; whether the file could be opened at all tells why.
  File file(std::fopen(path.c_str(), "rb"));
  error = file ? "not a PNG, JPEG, GIF or BMP picture that can be decoded" : std::strerror(errno);
  return false;
}

bool SavePng(const std::string& path, const Surface& surface, std::string& error) {
  if (surface.width <= 0 || surface.height <= 0 || surface.width > INT_MAX / 3) {
    error = "cannot encode a picture of " + std::to_string(surface.width) + "x" +
            std::to_string(surface.height);
    return false;
  }
  std::vector<unsigned char> rgb;
  try {
    rgb.resize(static_cast<std::size_t>(surface.width) * surface.height * 3);
  } catch (const std::bad_alloc&) {
    error = "no memory to encode the picture";
    return false;
  }
  unsigned char* target = rgb.data();
  for (int y = 0; y < surface.height; ++y) {
    for (int x = 0; x < surface.width; ++x, target += 3) {
      ColorRef color = ReadPixel(surface, x, y);
      target[0] = color & 0xFF;
      target[1] = (color >> 8) & 0xFF;
      target[2] = (color >> 16) & 0xFF;
    }
  }
  EncodedPng png;
  if (!stbi_write_png_to_func(&AppendBytes, &png, surface.width, surface.height, 3, rgb.data(),
                              surface.width * 3) ||
      png.outOfMemory) {
    error = "cannot encode the picture as PNG";
    return false;
  }
  return ReplaceFile(path, png.bytes, error);
}
