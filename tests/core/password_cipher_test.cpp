// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "core/password_cipher.h"
#include "core/text.h"

namespace {

using text::ZH;

struct Block {
    unsigned char b[8];
};

Block FromHex(const char* hex) {
    Block out{};
    for (int i = 0; i < 8; ++i)
        out.b[i] = static_cast<unsigned char>(std::stoi(std::string(hex + 2 * i, 2), nullptr, 16));
    return out;
}

std::string ToHex(const Block& block) {
    return text::ToHex(std::string_view(reinterpret_cast<const char*>(block.b), 8));
}

// Expects `call` to throw E with exactly `message`.
template <typename E, typename F>
void ExpectThrowWith(F call, const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "no exception, wanted: " << message;
    } catch (const E& e) {
        EXPECT_EQ(std::string(e.what()), message);
    }
}

struct Kat {
    const char* key;
    const char* plain;
    const char* cipher;
};

// Published answers: FIPS 81 / NBS examples, NIST SP 800-17 (sample round
// output, rows of table B.1 variable plaintext and B.2 variable key), and the
// textbook example with plaintext 0123456789ABCDE7.
const Kat kKnownAnswers[] = {
    {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
    {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    {"10316E028C8F3B4A", "0000000000000000", "82DCBAFBDEAB6602"},
    {"0123456789ABCDEF", "0123456789ABCDE7", "C95744256A5ED31D"},
    {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
    {"0101010101010101", "0000800000000000", "2B9F982F20037FA9"},
    {"0101010101010101", "0000000080000000", "E943D7568AEC0C5C"},
    {"0101010101010101", "0000000000010000", "8DD45A2DDF90796C"},
    {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
    {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"0180010101010101", "0000000000000000", "2055123350C00858"},
    {"0101018001010101", "0000000000000000", "5199C29A52C9F059"},
    {"0101010180010101", "0000000000000000", "19D032E64AB0BD8B"},
    {"0101010101018001", "0000000000000000", "D1399712F99BF02E"},
    {"0101010101010102", "0000000000000000", "869EFD7F9F265A09"},
};

}  // namespace

TEST(PasswordCipherDes, KnownAnswersBothDirections) {
    for (const Kat& kat : kKnownAnswers) {
        const Block key = FromHex(kat.key);
        Block block = FromHex(kat.plain);
        ASSERT_TRUE(EncryptBlocks(key.b, block.b, 1));
        EXPECT_EQ(ToHex(block), kat.cipher) << "key " << kat.key << " plain " << kat.plain;
        ASSERT_TRUE(DecryptBlocks(key.b, block.b, 1));
        EXPECT_EQ(ToHex(block), kat.plain) << "key " << kat.key;
    }
}

// Rivest's recurrence: X(i+1) = E(Xi, Xi) for even i, D(Xi, Xi) for odd i.
// Reaching the published X16 rules out every single fault in the tables.
TEST(PasswordCipherDes, RivestSingleFaultRecurrence) {
    Block x = FromHex("9474B8E8C73BCA7D");
    for (int i = 0; i < 16; ++i) {
        const Block key = x;
        ASSERT_TRUE(i % 2 == 0 ? EncryptBlocks(key.b, x.b, 1) : DecryptBlocks(key.b, x.b, 1));
    }
    EXPECT_EQ(ToHex(x), "1B1A2DDB4C642438");
}

TEST(PasswordCipherDes, BlocksAreIndependentAndBadArgumentsTouchNothing) {
    const Block key = FromHex("0123456789ABCDEF");
    unsigned char three[24];
    for (int i = 0; i < 24; ++i) three[i] = static_cast<unsigned char>(i % 8 == 0 ? 0x4E : i);
    const std::string before(reinterpret_cast<char*>(three), 24);
    ASSERT_TRUE(EncryptBlocks(key.b, three, 3));
    for (int b = 0; b < 3; ++b) {
        Block one{};
        for (int i = 0; i < 8; ++i) one.b[i] = static_cast<unsigned char>(before[b * 8 + i]);
        ASSERT_TRUE(EncryptBlocks(key.b, one.b, 1));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(one.b), 8),
                  std::string(reinterpret_cast<char*>(three + b * 8), 8));
    }
    ASSERT_TRUE(DecryptBlocks(key.b, three, 3));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(three), 24), before);

    EXPECT_FALSE(EncryptBlocks(key.b, nullptr, 1));
    EXPECT_FALSE(DecryptBlocks(key.b, nullptr, 1));
    EXPECT_FALSE(EncryptBlocks(nullptr, three, 1));
    EXPECT_FALSE(EncryptBlocks(key.b, three, 0));
    EXPECT_FALSE(DecryptBlocks(key.b, three, -1));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(three), 24), before);
}

// Expected forms computed with an unrelated DES implementation under the key "Mxv4Pq8Z".
TEST(PasswordCipherText, StoredFormMatchesIndependentDes) {
    EXPECT_EQ(EncryptText(""), "00E5AAE004E8D11D5B");
    EXPECT_EQ(EncryptText("abcdefgh"), "08D323FAE1E6E5FC3B");
    EXPECT_EQ(EncryptText("13800138000"), "0BDEEB3FF2A4B1AE7F034594556208EEBC");
    EXPECT_EQ(EncryptText("13800138000"), EncryptText("13800138000"));  // no salt
}

TEST(PasswordCipherText, LengthsAndLimit) {
    EXPECT_EQ(EncryptText(std::string(8, 'x')).size(), 18u);
    EXPECT_EQ(EncryptText(std::string(9, 'x')).size(), 34u);
    const std::string longest = EncryptText(std::string(255, 'x'));
    EXPECT_EQ(longest.size(), 514u);
    EXPECT_EQ(longest.substr(0, 2), "FF");
    EXPECT_EQ(EncryptText(ZH("中文")).substr(0, 2), "04");  // CP936 bytes are counted
    ExpectThrowWith<std::length_error>([] { EncryptText(std::string(256, 'x')); }, ZH("加密明文长度不能大于255"));
}

TEST(PasswordCipherText, RoundTripsEveryLengthWithAnyBytes) {
    std::string plain;
    for (int n = 0; n <= 255; ++n) {
        const std::string stored = EncryptText(plain);
        ASSERT_EQ(stored.size(), 2 + 16 * (n == 0 ? 1u : (n + 7u) / 8)) << n;
        ASSERT_EQ(DecryptText(stored), plain) << n;
        plain += static_cast<char>((n * 37) & 0xFF);  // zero bytes included
    }
    const text::Ansi zh = ZH("密码pw中文");
    EXPECT_EQ(DecryptText(EncryptText(zh)), zh);
}

TEST(PasswordCipherText, DecodingIsLenient) {
    const std::string stored = EncryptText("13800138000");
    std::string lower = stored;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(DecryptText(lower), "13800138000");
    EXPECT_EQ(DecryptText("00"), "");
    EXPECT_EQ(DecryptText(""), "");
    // A length byte beyond the deciphered data gives that many bytes, zero tail.
    const std::string abc = EncryptText("abc");
    EXPECT_EQ(DecryptText("0C" + abc.substr(2)), std::string("abc") + std::string(9, '\0'));
    // An odd last digit is one byte of its own (here the length 0x0 of "0").
    EXPECT_EQ(DecryptText("0"), "");
}

// The 32-block form of a 249-255 byte text decodes to 257 bytes and must load back.
TEST(PasswordCipherText, LongestSavedFormLoadsBackLongerFails) {
    const std::string plain(251, 'p');
    const std::string stored = EncryptText(plain);
    ASSERT_EQ(stored.size(), 514u);
    EXPECT_EQ(DecryptText(stored), plain);
    EXPECT_NO_THROW(DecryptText(stored.substr(0, 513)));  // 257 bytes, last one a single digit
    const std::string tooLong = ZH("加密密文长度过大");
    ExpectThrowWith<std::length_error>([&] { DecryptText(stored + "0"); }, tooLong);
    ExpectThrowWith<std::length_error>([&] { DecryptText(stored + "00"); }, tooLong);
    ExpectThrowWith<std::length_error>([] { DecryptText(std::string(100000, 'A')); }, tooLong);
}

TEST(PasswordCipherText, NonHexCharacterNamesTheOffendingPair) {
    ExpectThrowWith<EConvertError>([] { DecryptText("0BZZ"); }, "'0xZZ' is not a valid integer value");
    ExpectThrowWith<EConvertError>([] { DecryptText("0G12"); }, "'0x0G' is not a valid integer value");
    ExpectThrowWith<EConvertError>([] { DecryptText("00Z"); }, "'0xZ' is not a valid integer value");
    ExpectThrowWith<EConvertError>([] { DecryptText(" 0"); }, "'0x 0' is not a valid integer value");
    ExpectThrowWith<EConvertError>([] { DecryptText("-1"); }, "'0x-1' is not a valid integer value");
    // Checked before the length: a bad digit far out in an overlong input.
    ExpectThrowWith<EConvertError>([] { DecryptText(std::string(1000, '0') + "x1"); },
                                   "'0xx1' is not a valid integer value");
}
