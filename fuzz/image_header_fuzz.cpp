// Fuzzes the texture files' header check with arbitrary bytes (AddressSanitizer catches any read
// past them) and checks what it declares: an accepted picture is not empty, its size is the one
// the limit was compared with, and the same bytes checked against exactly that size are accepted
// and against one byte less refused.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "textures/image_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::int64_t kLimit = std::int64_t{256} << 20;
  ImageHeader header;
  const HeaderVerdict verdict = CheckImageHeader(data, size, kLimit, &header);
  Check((verdict == HeaderVerdict::kNotAnImage) == (header.format == ImageFormat::kNone));
  Check(verdict != HeaderVerdict::kTooLarge || header.decodedBytes > kLimit);
  if (verdict != HeaderVerdict::kAccepted) return 0;
  Check(header.width > 0 && header.height > 0 && header.decodedBytes <= kLimit &&
        header.decodedBytes >= DibPictureBytes(header.width, header.height, 1));
  ImageHeader again;
  Check(CheckImageHeader(data, size, header.decodedBytes, &again) == HeaderVerdict::kAccepted);
  Check(CheckImageHeader(data, size, header.decodedBytes - 1, &again) == HeaderVerdict::kTooLarge);
  Check(again.width == header.width && again.height == header.height);
  return 0;
}
