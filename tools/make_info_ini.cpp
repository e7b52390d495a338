// SPDX-License-Identifier: GPL-3.0-or-later
// Writes an Info.ini the client can read: the account and password
// enciphered by the client's own cipher. For the demo and the end-to-end
// tests, so no credential is ever committed in plain text.
//
//   ravelo_make_ini <folder> <account> <password> [AutoLogin] [sADSL_Type]
#include <cstdio>
#include <fstream>
#include <string>

#include "core/password_cipher.h"
#include "core/text.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <folder> <account> <password> [AutoLogin=1] [sADSL_Type=gmcc]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const std::string autoLogin = argc > 4 ? argv[4] : "1";
    const std::string lineType = argc > 5 ? argv[5] : "gmcc";
    try {
        // Arguments arrive in UTF-8; the file holds CP936 like everything the client stores.
        const std::string account = EncryptText(text::FromUtf8(argv[2]));
        const std::string password = EncryptText(text::FromUtf8(argv[3]));
        std::ofstream out(folder + "/Info.ini", std::ios::binary | std::ios::trunc);
        // AutoRun=1: the start-with-desktop entry is not wanted for a demo.
        out << "[LoadInfo]\r\nAutoRun=1\r\naccount=" << account << "\r\npwd=" << password
            << "\r\nsADSL_Type=" << lineType << "\r\nAutoLogin=" << autoLogin << "\r\nNewUser=0\r\n";
        if (!out.flush()) {
            std::fprintf(stderr, "cannot write %s/Info.ini\n", folder.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
