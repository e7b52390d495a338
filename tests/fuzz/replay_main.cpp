// SPDX-License-Identifier: GPL-3.0-or-later
// Without libFuzzer (any compiler): runs a fuzz target once on every file of
// the folders or files given, so the seeds and the inputs of past findings
// are checked by every build's tests.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void RunFile(const std::filesystem::path& p, int& runs) {
    std::ifstream in(p, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++runs;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            for (const auto& e : std::filesystem::directory_iterator(arg))
                if (e.is_regular_file()) RunFile(e.path(), runs);
        } else if (std::filesystem::is_regular_file(arg)) {
            RunFile(arg, runs);
        }
    }
    std::printf("%d inputs passed\n", runs);
    return runs > 0 ? 0 : 1;  // no input at all is a broken setup, not a pass
}
