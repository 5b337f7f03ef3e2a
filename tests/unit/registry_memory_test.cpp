#include "settings/registry.h"
#include "settings/registry_memory.h"

#include <gtest/gtest.h>

namespace {

// The settings store relies on these answers being those of RegQueryValueExA.
TEST(MemoryRegistryTest, QueriesAnswerLikeTheRegistry) {
  ResetMemoryRegistry();
  RegistryKey key = nullptr;
  ASSERT_EQ(RegistryCreateKey("Software\\Ondrel\\Vesperine", kRegistryWrite, &key),
            kRegistrySuccess);
  const std::uint8_t bytes[] = {'a', 'b', 'c'};  // no NUL
  ASSERT_EQ(RegistrySetValue(key, "Some Value", kRegistryString, bytes, 3), kRegistrySuccess);
  RegistryCloseKey(key);
  EXPECT_TRUE(MemoryRegistryKeyExists("software\\ONDREL"));

  ASSERT_EQ(RegistryCreateKey("SOFTWARE\\ondrel\\VESPERINE", kRegistryWrite, &key),
            kRegistrySuccess);
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(RegistryQueryValue(key, "some value", &type, nullptr, &size), kRegistrySuccess);
  EXPECT_EQ(type, kRegistryString);
  EXPECT_EQ(size, 3u);

  std::uint8_t buffer[4] = {0x7F, 0x7F, 0x7F, 0x7F};
  size = 2;
  EXPECT_EQ(RegistryQueryValue(key, "Some Value", nullptr, buffer, &size), kRegistryMoreData);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(buffer[0], 0x7F) << "nothing is copied into a short buffer";
  size = 4;
  EXPECT_EQ(RegistryQueryValue(key, "Some Value", nullptr, buffer, &size), kRegistrySuccess);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(buffer[2], 'c');
  EXPECT_EQ(buffer[3], 0x7F) << "no terminator is added";
  EXPECT_EQ(RegistryQueryValue(key, "Absent", &type, nullptr, &size), kRegistryFileNotFound);
  RegistryCloseKey(key);
  EXPECT_EQ(OpenMemoryRegistryKeyCount(), 0);

  FailNextMemoryRegistryOpens(1, kRegistryAccessDenied);
  EXPECT_EQ(RegistryCreateKey("Software\\Other", kRegistryWrite, &key), kRegistryAccessDenied);
  EXPECT_FALSE(MemoryRegistryKeyExists("Software\\Other"));
}

}  // namespace
