// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/text.h"

TEST(Text, ChineseCountsTwoBytesAndRoundTrips) {
    const std::string utf8 = "欢迎使用Ravelo";
    const text::Ansi a = text::FromUtf8(utf8);
    EXPECT_EQ(a.size(), 4u * 2 + 6);
    EXPECT_EQ(a.substr(0, 2), "\xBB\xB6");  // 欢 in code page 936
    EXPECT_EQ(text::ToUtf8(a), utf8);
    EXPECT_EQ(text::FromUtf16(text::ToUtf16(a)), a);
    EXPECT_EQ(text::ToUtf16(a), u"欢迎使用Ravelo");
}

TEST(Text, UnconvertibleInputDoesNotFail) {
    // A lone lead byte at the end and a character CP936 lacks.
    EXPECT_EQ(text::ToUtf8("ab\x81"), "ab\xEF\xBF\xBD");
    EXPECT_EQ(text::FromUtf8("\xF0\x9F\x98\x80").empty(), false);
    EXPECT_EQ(text::FromUtf8("x\xFFy").substr(0, 1), "x");
}

TEST(Text, TrimRemovesBlanksAndControlsOnly) {
    EXPECT_EQ(text::Trim(" \t\r\n 138 00\x01 "), "138 00");
    EXPECT_EQ(text::Trim("   "), "");
    // Bytes of a Chinese character are above 0x80 and stay.
    const text::Ansi zh = text::ZH(" 中 ");
    EXPECT_EQ(text::Trim(zh), text::ZH("中"));
}

TEST(Text, HexIsUpperCaseTwoDigitsPerByte) { EXPECT_EQ(text::ToHex(std::string("\x00\x0b\xff", 3)), "000BFF"); }

TEST(Text, DecimalInt32AcceptsDigitsWithinSignedRangeOnly) {
    EXPECT_TRUE(text::IsDecimalInt32("0"));
    EXPECT_TRUE(text::IsDecimalInt32("2147483647"));
    EXPECT_TRUE(text::IsDecimalInt32("0002147483647")) << "leading zeros do not count against the range";
    EXPECT_FALSE(text::IsDecimalInt32("2147483648"));
    EXPECT_FALSE(text::IsDecimalInt32(""));
    for (const char* s : {"+1", "-1", " 1", "1 ", "1a", "$1F", "１"}) EXPECT_FALSE(text::IsDecimalInt32(s)) << s;
}
