// The i686 saver's exception path, linked as the saver is (built for the 486, with the runtime's
// unwinder and C++ exception support rebuilt for it): a failed allocation and a container asked
// for more than it can hold each reach their catch clause, message intact. Exits 0 when both do.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

int main() {
  int caught = 0;
  try {
    // More than a 32-bit process without large-address awareness can ever have.
    std::vector<std::uint8_t> pixels(std::size_t{0x7FFF0000});
    std::printf("allocated %zu bytes\n", pixels.size());
  } catch (const std::bad_alloc&) {
    ++caught;
  }
  try {
    std::vector<std::uint32_t>().reserve(SIZE_MAX);
  } catch (const std::exception& error) {  // std::length_error, caught by its base
    if (std::strstr(error.what(), "reserve") != nullptr) ++caught;
  }
  std::printf("%d of 2 exceptions caught\n", caught);
  return caught == 2 ? 0 : 1;
}
