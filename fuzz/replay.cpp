// Replays inputs through a fuzz target's entry point without libFuzzer: every file of the
// folders named on the command line (names beginning with "." are skipped), in name order. A
// fault ends the process (sanitizer report or failed property); otherwise prints the count.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv) {
    namespace fs = std::filesystem;
    std::set<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!fs::is_directory(argv[i])) continue;
        for (const auto &entry : fs::directory_iterator(argv[i]))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                inputs.insert(entry.path());
    }
    for (const fs::path &path : inputs) {
        const std::string bytes = FileBytes(path.string());
        std::printf("%s\n", path.filename().c_str());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
