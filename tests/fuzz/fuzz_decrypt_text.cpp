// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to DecryptText, as a damaged or foreign Info.ini
// would. The only acceptable failures are the two documented ones; whatever
// deciphers must survive a save and a load unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/password_cipher.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view stored(reinterpret_cast<const char*>(data), size);
    text::Ansi plain;
    try {
        plain = DecryptText(stored);
    } catch (const EConvertError&) {
        return 0;
    } catch (const std::length_error&) {
        return 0;
    }
    FUZZ_CHECK(plain.size() <= 255);  // the length byte cannot say more
    const text::Ansi again = EncryptText(plain);
    FUZZ_CHECK(again.size() == 2 + 16 * (plain.empty() ? 1 : (plain.size() + 7) / 8));
    FUZZ_CHECK(DecryptText(again) == plain);
    return 0;
}
