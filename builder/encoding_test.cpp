#include "encoding.h"

#include <gtest/gtest.h>

namespace lodex {
namespace {

TEST(Encoding, DanishLettersAndTheEuroSignCrossBothWays) {
  const std::string utf8 = "Æble øl Å \xE2\x82\xAC 5";
  std::string cp1252;
  ASSERT_TRUE(Utf8ToWindows1252(utf8, &cp1252));
  EXPECT_EQ(cp1252, "\xC6" "ble \xF8l \xC5 \x80 5");
  EXPECT_EQ(Windows1252ToUtf8(cp1252), utf8);
}

TEST(Encoding, StrictConversionStopsAtTheFirstCharacterWithoutAForm) {
  std::string out;
  size_t bad = 99;
  EXPECT_FALSE(Utf8ToWindows1252("ab\xE2\x86\x92" "c", &out, &bad));  // an arrow
  EXPECT_EQ(bad, 2u);
  EXPECT_FALSE(Utf8ToWindows1252("abc\xFF", &out, &bad));  // not UTF-8
  EXPECT_EQ(bad, 3u);
}

TEST(Encoding, LenientConversionsPutOneQuestionMarkPerCharacter) {
  EXPECT_EQ(Utf8ToWindows1252OrQuestionMarks("a\xE2\x86\x92" "b\xF0\x9F\x98\x80" "c\xC3\xA6"),
            "a?b?c\xE6");
  EXPECT_EQ(Utf8ToWindows1252OrQuestionMarks("x\xFF" "y"), "x?y");
  // 0x81 and 0x8D have no character in Windows-1252.
  EXPECT_EQ(Windows1252ToUtf8("a\x81" "b\x8D"), "a?b?");
}

TEST(Encoding, IsUtf8RejectsOverlongFormsSurrogatesAndCutSequences) {
  EXPECT_TRUE(IsUtf8("plain \xC3\xA6 \xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsUtf8("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(IsUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(IsUtf8("cut \xE2\x82"));      // ends inside a character
  EXPECT_FALSE(IsUtf8("\xC6" "ble"));        // Windows-1252, not UTF-8
}

}  // namespace
}  // namespace lodex
