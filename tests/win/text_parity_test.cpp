// SPDX-License-Identifier: GPL-3.0-or-later
// Code page 936 conversion gives the same bytes on Windows (the Windows API)
// and on Linux (iconv), including for input that does not convert. The
// expected values are what both systems give.
#include <gtest/gtest.h>

#include "core/text.h"

namespace {

TEST(TextParity, ChineseAndTheGbkExtensionConvertBothWays) {
    // 丂 lies outside GB2312, in the GBK part of code page 936.
    EXPECT_EQ(text::FromUtf8("丂中　·—‘é"), "\x81\x40\xD6\xD0\xA1\xA1\xA1\xA4\xA1\xAA\xA1\xAE\xA8\xA6");
    EXPECT_EQ(text::ToUtf8("\x81\x40\xD6\xD0\xA1\xA1"), "丂中　");
    EXPECT_EQ(text::ToUtf16("\xD6\xD0"
                            "a"),
              u"中a");
    EXPECT_EQ(text::FromUtf16(u"中a"),
              "\xD6\xD0"
              "a");
}

TEST(TextParity, EuroSignIsTheSingleByte80) {
    EXPECT_EQ(text::FromUtf8("€"), "\x80");
    EXPECT_EQ(text::ToUtf8("\x80"), "€");
}

TEST(TextParity, BrokenCp936BecomesReplacementCharactersOneBytePerStep) {
    EXPECT_EQ(text::ToUtf8("ab\x81"), "ab\xEF\xBF\xBD");     // lone lead byte at the end
    EXPECT_EQ(text::ToUtf8("\x81\x20z"), "\xEF\xBF\xBD z");  // lead byte without a trail
    EXPECT_EQ(text::ToUtf8("\xFFq"), "\xEF\xBF\xBDq");       // never a character
    EXPECT_EQ(text::ToUtf16("\xFF"), std::u16string(1, u'\xFFFD'));
}

TEST(TextParity, BrokenUtf8BecomesQuestionMarksOneBytePerStep) {
    EXPECT_EQ(text::FromUtf8("x\xFFy"), "x?y");
    EXPECT_EQ(text::FromUtf8("\xE4\xB8"), "??");  // a cut three-byte sequence
    EXPECT_EQ(text::FromUtf8("\xE4\xB8\xAD\xC0"), "\xD6\xD0?");
}

TEST(TextParity, CharactersTheCodePageLacksBecomeOneQuestionMark) {
    EXPECT_EQ(text::FromUtf8("a\xF0\x9F\x98\x80"
                             "b"),
              "a?b");                                // outside the BMP
    EXPECT_EQ(text::FromUtf8("\xE0\xB8\x81"), "?");  // Thai ko kai
    EXPECT_EQ(text::FromUtf16(u"a\U0001F600b"), "a?b");
}

TEST(TextParity, LoneSurrogateFromUtf16CostsOneCharacterOnly) {
    const char16_t high[] = {u'a', 0xD800, u'b', u'中', 0};
    EXPECT_EQ(text::FromUtf16(high), "a?b\xD6\xD0");
    const char16_t low[] = {0xDC00, u'z', 0};
    EXPECT_EQ(text::FromUtf16(low), "?z");
}

}  // namespace
