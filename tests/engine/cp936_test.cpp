// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's code page 936 <-> UTF-8 conversion.
#include <gtest/gtest.h>

#include "cp936.h"

namespace {

TEST(Cp936Test, ChineseRoundTripsAndAsciiStaysAsIs) {
    const std::string gbk = "\xC4\xE3\xBA\xC3";  // 你好
    EXPECT_EQ(zent::Cp936ToUtf8(gbk), "你好");
    EXPECT_EQ(zent::Utf8ToCp936("你好"), gbk);
    EXPECT_EQ(zent::Utf8ToCp936(zent::Cp936ToUtf8("sip:8613912345678@a.b")), "sip:8613912345678@a.b");
}

TEST(Cp936Test, BadBytesBecomeMarksAndConversionGoesOn) {
    EXPECT_EQ(zent::Cp936ToUtf8(std::string("a\xFF"
                                            "b")),
              "a?b");
    EXPECT_EQ(zent::Cp936ToUtf8(std::string("ab\xC4")), "ab?");  // cut after a lead byte
    EXPECT_EQ(zent::Utf8ToCp936(std::string("a\xE4\xBD")), "a?");
    // A character code page 936 lacks gives one mark, not one per byte.
    EXPECT_EQ(zent::Utf8ToCp936("x😀y"), "x?y");
}

TEST(Cp936Test, NullAndEmptyGiveEmpty) {
    EXPECT_EQ(zent::Cp936ToUtf8(static_cast<const char*>(nullptr)), "");
    EXPECT_EQ(zent::Utf8ToCp936(static_cast<const char*>(nullptr)), "");
    EXPECT_EQ(zent::Cp936ToUtf8(std::string()), "");
}

TEST(Cp936Test, LongTextIsConvertedWhole) {
    std::string utf8;
    for (int i = 0; i < 2000; ++i) utf8 += "中";
    std::string gbk = zent::Utf8ToCp936(utf8);
    EXPECT_EQ(gbk.size(), 4000u);
    EXPECT_EQ(zent::Cp936ToUtf8(gbk), utf8);
}

}  // namespace
