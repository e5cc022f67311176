// Code page 1252 to and from UTF-8.
#include <gtest/gtest.h>

#include "platform/code_page_1252.h"

namespace tlm {
namespace {

TEST(CodePage1252Test, EveryDefinedByteGoesThereAndBack) {
  for (int b = 1; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string utf8 = Cp1252ToUtf8(byte);
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
      EXPECT_EQ(utf8, "\xEF\xBF\xBD") << b;  // undefined: U+FFFD
      continue;
    }
    const auto back = Utf8ToCp1252(utf8);
    ASSERT_TRUE(back.has_value()) << b;
    EXPECT_EQ(*back, byte) << b;
  }
  EXPECT_EQ(Cp1252ToUtf8("\x80 \xE9\x9C"), "\xE2\x82\xAC \xC3\xA9\xC5\x93");  // "€ éœ"
}

TEST(CodePage1252Test, TextTheCodePageCannotHoldIsRefusedNamingTheCharacter) {
  char32_t bad = 0;
  EXPECT_FALSE(Utf8ToCp1252("Tokyo \xE6\x9D\xB1\xE4\xBA\xAC", &bad).has_value());  // 東京
  EXPECT_EQ(bad, U'\u6771');
  EXPECT_FALSE(Utf8ToCp1252("cut \xC3", &bad).has_value());  // half a character
  EXPECT_EQ(bad, U'\uFFFD');
  EXPECT_EQ(Utf8ToCp1252("plain").value(), "plain");
}

}  // namespace
}  // namespace tlm
