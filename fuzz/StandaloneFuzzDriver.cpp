// Runs a libFuzzer-style target without libFuzzer: every file named on the
// command line (or found in a named folder) once, then -runs=N random inputs
// of up to 1 KiB drawn with -seed=S.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

void runFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char **argv)
{
    long runs = 1000;
    unsigned seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("-runs=", 0) == 0) {
            runs = std::strtol(argument.c_str() + 6, nullptr, 10);
        } else if (argument.rfind("-seed=", 0) == 0) {
            seed = static_cast<unsigned>(std::strtoul(argument.c_str() + 6, nullptr, 10));
        } else if (std::filesystem::is_directory(argument)) {
            for (const auto &file : std::filesystem::directory_iterator(argument))
                runFile(file.path());
        } else {
            runFile(argument);
        }
    }

    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> length(0, 1024);
    std::uniform_int_distribution<int> byte(0, 255);
    // Bytes that matter to the parsers, drawn more often than the others.
    const char interesting[] = {'|', '0', '1', '9', '.', '-', 'T', 'A', 'G', ' ', '\0', 'e'};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof interesting - 1);
    std::vector<std::uint8_t> input;
    for (long run = 0; run < runs; ++run) {
        input.resize(length(random));
        for (auto &value : input)
            value = static_cast<std::uint8_t>(byte(random) < 128 ? interesting[pick(random)]
                                                                 : byte(random));
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::cout << "Done " << runs << " runs\n";
    return 0;
}
