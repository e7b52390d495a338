// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/password_cipher.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// ---------------------------------------------------------------------------
// The standard's tables, 1-based bit numbers with bit 1 the most significant.

constexpr std::uint8_t kIP[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                                  62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                                  57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                                  61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

constexpr std::uint8_t kE[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
                                 12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
                                 22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};

constexpr std::uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                 2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

constexpr std::uint8_t kPC1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
                                   35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
                                   46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr std::uint8_t kPC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                   26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                   51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr std::uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// S-boxes: row = first and last input bit, column = the middle four.
constexpr std::uint8_t kS[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8, 14, 6,  11, 3,  4, 9, 7, 2,  13, 12, 0, 5, 10, 3,  13, 4,  7, 15, 2,  8, 14, 12, 0, 1, 10, 6, 9, 11, 5,
     0,  14, 7, 11, 10, 4,  13, 1, 5, 8, 12, 6,  9,  3, 2, 15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6, 7, 12, 0, 5, 14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0, 8, 13, 3,  12, 9, 7, 5, 10, 6, 1, 13, 0,  11, 7, 4, 9, 1,  10, 14, 3, 5, 12, 2,  15, 8, 6,
     1, 4,  11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5,  9, 2, 6,  11, 13, 8, 1, 4, 10, 7,  9,  5, 0, 15, 14, 2,  3, 12},
    {13, 2, 8, 4, 6,  15, 11, 1, 10, 9,  3,  14, 5, 0, 12, 7, 1, 15, 13, 8, 10, 3, 7,  4,  12, 5, 6, 11, 0, 14, 9, 2, 7,
     11, 4, 1, 9, 12, 14, 2,  0, 6,  10, 13, 15, 3, 5, 8,  2, 1, 14, 7,  4, 10, 8, 13, 15, 12, 9, 0, 3,  5, 6,  11}};

// Bit-table permutation: output bit j (of outBits) is input bit table[j] (of inBits).
constexpr std::uint64_t Permute(std::uint64_t in, int inBits, const std::uint8_t* table, int outBits) {
    std::uint64_t out = 0;
    for (int j = 0; j < outBits; ++j) out = (out << 1) | ((in >> (inBits - table[j])) & 1u);
    return out;
}

constexpr std::uint32_t Rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
constexpr std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// ---------------------------------------------------------------------------
// Round tables: S-box i followed by P, for each 6-bit input, as a 32-bit word
// rotated left by one bit like the halves it is XORed into.

using SpTables = std::array<std::array<std::uint32_t, 64>, 8>;

constexpr SpTables MakeSpTables() {
    SpTables sp{};
    for (int i = 0; i < 8; ++i) {
        for (unsigned v = 0; v < 64; ++v) {
            unsigned row = ((v >> 4) & 2u) | (v & 1u);
            unsigned col = (v >> 1) & 0xFu;
            std::uint32_t s = static_cast<std::uint32_t>(kS[i][row * 16 + col]) << (28 - 4 * i);
            sp[i][v] = Rotl(static_cast<std::uint32_t>(Permute(s, 32, kP, 32)), 1);
        }
    }
    return sp;
}

constexpr SpTables kSp = MakeSpTables();

// A round key cooked for the rotated halves: the eight 6-bit groups of the
// 48-bit key, odd groups (1,3,5,7) in the bytes of `odd`, even ones in `even`,
// most significant byte first.
struct RoundKey {
    std::uint32_t odd;
    std::uint32_t even;
};

// The Feistel function on a half held rotated left by one. Rotating the half
// right by four more lines the odd expansion groups up on byte boundaries;
// the half as held does the same for the even groups.
constexpr std::uint32_t Feistel(std::uint32_t r, RoundKey k) {
    std::uint32_t w = Rotr(r, 4) ^ k.odd;
    std::uint32_t f = kSp[0][(w >> 24) & 0x3F] | kSp[2][(w >> 16) & 0x3F] | kSp[4][(w >> 8) & 0x3F] | kSp[6][w & 0x3F];
    w = r ^ k.even;
    f |= kSp[1][(w >> 24) & 0x3F] | kSp[3][(w >> 16) & 0x3F] | kSp[5][(w >> 8) & 0x3F] | kSp[7][w & 0x3F];
    return f;
}

// One step of the permutation network: swaps the bits of `a` selected by
// mask << shift with the bits of `b` selected by mask. Its own inverse.
constexpr void SwapBits(std::uint32_t& a, std::uint32_t& b, int shift, std::uint32_t mask) {
    std::uint32_t w = ((a >> shift) ^ b) & mask;
    b ^= w;
    a ^= w << shift;
}

// Initial permutation; leaves both halves rotated left by one.
constexpr void InitialPermutation(std::uint32_t& l, std::uint32_t& r) {
    SwapBits(l, r, 4, 0x0F0F0F0Fu);
    SwapBits(l, r, 16, 0x0000FFFFu);
    SwapBits(r, l, 2, 0x33333333u);
    SwapBits(r, l, 8, 0x00FF00FFu);
    r = Rotl(r, 1);
    SwapBits(l, r, 0, 0xAAAAAAAAu);
    l = Rotl(l, 1);
}

// Final permutation: the initial one run backwards, from rotated halves.
constexpr void FinalPermutation(std::uint32_t& l, std::uint32_t& r) {
    l = Rotr(l, 1);
    SwapBits(l, r, 0, 0xAAAAAAAAu);
    r = Rotr(r, 1);
    SwapBits(r, l, 8, 0x00FF00FFu);
    SwapBits(r, l, 2, 0x33333333u);
    SwapBits(l, r, 16, 0x0000FFFFu);
    SwapBits(l, r, 4, 0x0F0F0F0Fu);
}

// The network against the table, bit by bit (both are permutations, so the
// 64 single-bit blocks settle it).
constexpr bool NetworkMatchesTables() {
    for (int bit = 0; bit < 64; ++bit) {
        std::uint64_t block = std::uint64_t{1} << bit;
        std::uint32_t l = static_cast<std::uint32_t>(block >> 32);
        std::uint32_t r = static_cast<std::uint32_t>(block);
        InitialPermutation(l, r);
        std::uint64_t want = Permute(block, 64, kIP, 64);
        if (l != Rotl(static_cast<std::uint32_t>(want >> 32), 1) || r != Rotl(static_cast<std::uint32_t>(want), 1))
            return false;
        FinalPermutation(l, r);
        if (((std::uint64_t{l} << 32) | r) != block) return false;
    }
    return true;
}
static_assert(NetworkMatchesTables(), "permutation network differs from the initial permutation");

// The shift-and-mask expansion of a rotated half against the expansion table.
constexpr bool ExpansionMatchesTable() {
    for (int bit = 0; bit < 32; ++bit) {
        std::uint32_t half = std::uint32_t{1} << bit;
        std::uint32_t r = Rotl(half, 1);
        std::uint32_t a = Rotr(r, 4);
        std::uint32_t groups[8] = {(a >> 24) & 0x3F, (r >> 24) & 0x3F, (a >> 16) & 0x3F, (r >> 16) & 0x3F,
                                   (a >> 8) & 0x3F,  (r >> 8) & 0x3F,  a & 0x3F,         r & 0x3F};
        std::uint64_t e = 0;
        for (std::uint32_t g : groups) e = (e << 6) | g;
        if (e != Permute(half, 32, kE, 48)) return false;
    }
    return true;
}
static_assert(ExpansionMatchesTable(), "rotated expansion differs from the expansion table");

// ---------------------------------------------------------------------------

using KeySchedule = std::array<RoundKey, 16>;

// Permuted choice 1, the sixteen rotations of the 28-bit halves, permuted
// choice 2; the parity bits fall out in PC-1 unchecked.
KeySchedule MakeKeySchedule(const unsigned char* key, bool decrypt) {
    std::uint64_t k = 0;
    for (int i = 0; i < 8; ++i) k = (k << 8) | key[i];
    std::uint64_t cd = Permute(k, 64, kPC1, 56);
    std::uint32_t c = static_cast<std::uint32_t>(cd >> 28) & 0x0FFFFFFFu;
    std::uint32_t d = static_cast<std::uint32_t>(cd) & 0x0FFFFFFFu;
    KeySchedule ks{};
    for (int round = 0; round < 16; ++round) {
        int s = kShifts[round];
        c = ((c << s) | (c >> (28 - s))) & 0x0FFFFFFFu;
        d = ((d << s) | (d >> (28 - s))) & 0x0FFFFFFFu;
        std::uint64_t k48 = Permute((std::uint64_t{c} << 28) | d, 56, kPC2, 48);
        RoundKey rk{0, 0};
        for (int g = 0; g < 8; ++g) {
            std::uint32_t group = static_cast<std::uint32_t>(k48 >> (42 - 6 * g)) & 0x3F;
            std::uint32_t& word = (g % 2 == 0) ? rk.odd : rk.even;
            word |= group << (24 - 8 * (g / 2));
        }
        ks[decrypt ? 15 - round : round] = rk;
    }
    return ks;
}

std::uint32_t LoadBigEndian(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

void StoreBigEndian(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

bool CryptBlocks(const unsigned char* key, unsigned char* buffer, int count, bool decrypt) {
    if (key == nullptr || buffer == nullptr || count < 1) return false;
    const KeySchedule ks = MakeKeySchedule(key, decrypt);
    for (int b = 0; b < count; ++b) {
        unsigned char* block = buffer + static_cast<std::size_t>(b) * 8;
        std::uint32_t l = LoadBigEndian(block);
        std::uint32_t r = LoadBigEndian(block + 4);
        InitialPermutation(l, r);
        for (int round = 0; round < 16; round += 2) {
            l ^= Feistel(r, ks[round]);
            r ^= Feistel(l, ks[round + 1]);
        }
        // The halves leave the rounds swapped: R16 comes first.
        FinalPermutation(r, l);
        StoreBigEndian(block, r);
        StoreBigEndian(block + 4, l);
    }
    return true;
}

const unsigned char* FixedKey() { return reinterpret_cast<const unsigned char*>(kPasswordKey); }

// Byte 0 the plaintext length, then up to 32 blocks.
constexpr std::size_t kWorkSize = 257;
constexpr std::size_t kMaxPlain = 255;

int HexValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;
}

}  // namespace

bool EncryptBlocks(const unsigned char* key, unsigned char* buffer, int count) {
    return CryptBlocks(key, buffer, count, false);
}

bool DecryptBlocks(const unsigned char* key, unsigned char* buffer, int count) {
    return CryptBlocks(key, buffer, count, true);
}

text::Ansi EncryptText(std::string_view text) {
    if (text.size() > kMaxPlain) throw std::length_error(text::ZH("加密明文长度不能大于255"));
    unsigned char work[kWorkSize] = {};
    const int length = static_cast<int>(text.size());
    work[0] = static_cast<unsigned char>(length);
    if (length > 0) std::memcpy(work + 1, text.data(), text.size());
    const int blocks = (length - 1) / 8 + 1;  // one block also for the empty text
    EncryptBlocks(FixedKey(), work + 1, blocks);
    return text::ToHex(std::string_view(reinterpret_cast<const char*>(work), static_cast<std::size_t>(blocks) * 8 + 1));
}

text::Ansi DecryptText(std::string_view stored) {
    // Up to 257 bytes: 255-byte texts take 32 blocks plus the length byte,
    // and whatever can be saved must load back.
    unsigned char work[kWorkSize] = {};
    std::size_t count = 0;
    // Every digit is checked before the length, so a bad character is
    // reported as such however long the input is.
    for (std::size_t pos = 0; pos < stored.size(); pos += 2) {
        std::string_view digits = stored.substr(pos, 2);
        int value = 0;
        for (char ch : digits) {
            int v = HexValue(ch);
            if (v < 0) throw EConvertError("'0x" + std::string(digits) + "' is not a valid integer value");
            value = value * 16 + v;
        }
        if (count < kWorkSize) work[count] = static_cast<unsigned char>(value);
        ++count;
    }
    if (count > kWorkSize) throw std::length_error(text::ZH("加密密文长度过大"));
    const int m = static_cast<int>(count);
    const int blocks = (m - 2) / 8 + 1;  // truncates toward zero: 0-2 bytes give one block
    DecryptBlocks(FixedKey(), work + 1, blocks);
    const std::size_t length = work[0];
    return text::Ansi(reinterpret_cast<const char*>(work + 1), length);
}
