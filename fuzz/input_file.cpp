#include "input_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// A folder of this process, on a memory file system where there is one; removed at exit.
const fs::path &folder() {
    static const fs::path path = [] {
        const fs::path base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
        fs::path made = base / ("ktav-fuzz-" + std::to_string(getpid()));
        fs::create_directories(made);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(folder(), ignored);
        });
        return made;
    }();
    return path;
}

}  // namespace

std::string TempPath(const char *name) {
    return (folder() / name).string();
}

std::string InputFile(const uint8_t *data, size_t size, const char *name) {
    const std::string path = TempPath(name);
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) PropertyFailed("cannot write the input file");
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
    return path;
}

std::string FileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PropertyFailed(const char *what) {
    std::fprintf(stderr, "PROPERTY FAILED: %s\n", what);
    std::abort();
}
