// Fuzzes the texture files' header check with arbitrary bytes (AddressSanitizer catches any read
// past them) and checks what it declares: an accepted picture is not empty, its size is the one
// the limit was compared with, and the same bytes checked against exactly that size are accepted
// and against one byte less refused.
#include <cstdint>
#include <cstdlib>

#include "textures/image_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::int64_t kLimit = std::int64_t{256} << 20;
  ImageHeader header;
  const HeaderVerdict verdict = CheckImageHeader(data, size, kLimit, &header);
  if (verdict == HeaderVerdict::kNotAnImage && header.format != ImageFormat::kNone) std::abort();
  if (verdict != HeaderVerdict::kNotAnImage && header.format == ImageFormat::kNone) std::abort();
  if (verdict == HeaderVerdict::kTooLarge && header.decodedBytes <= kLimit) std::abort();
  if (verdict != HeaderVerdict::kAccepted) return 0;
  if (header.width <= 0 || header.height <= 0 || header.decodedBytes <= 0 ||
      header.decodedBytes > kLimit ||
      header.decodedBytes < DibPictureBytes(header.width, header.height, 1)) {
    std::abort();
  }
  ImageHeader again;
  if (CheckImageHeader(data, size, header.decodedBytes, &again) != HeaderVerdict::kAccepted ||
      CheckImageHeader(data, size, header.decodedBytes - 1, &again) != HeaderVerdict::kTooLarge ||
      again.width != header.width || again.height != header.height) {
    std::abort();
  }
  return 0;
}
