// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds a fuzz target its corpus without libFuzzer: every file named, and
// every file under a folder named, once each. So the builds without clang
// (the release and sanitizer test runs) still replay every kept input.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path path(argv[i]);
        if (!fs::is_directory(path)) {
            inputs.push_back(path);
            continue;
        }
        for (const auto& entry : fs::recursive_directory_iterator(path)) {
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
        }
    }
    // A corpus that is missing or misnamed must not pass as replayed.
    if (inputs.empty()) {
        std::cerr << "no inputs to replay\n";
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
        std::ifstream file(input, std::ios::binary);
        if (!file) {
            std::cerr << "cannot read " << input << '\n';
            return 1;
        }
        // Named before it runs, so that a crash tells which input it was.
        std::cerr << "replaying " << input.filename().string() << '\n';
        const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::cerr << "replayed " << inputs.size() << " inputs\n";
    return 0;
}
