// Runs a fuzz target once over every file of the folders (or the files)
// named on the command line: how the normal build replays each corpus, the
// crashes found included, as a test.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i])) {
            for (const fs::directory_entry &entry : fs::directory_iterator(argv[i])) {
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
            }
        } else {
            inputs.emplace_back(argv[i]);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    // An empty or mistyped corpus path must not pass as "nothing failed".
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s CORPUS-DIR|FILE...: no inputs found\n", argv[0]);
        return 2;
    }
    for (const fs::path &path : inputs) {
        std::error_code error;
        const auto size = fs::file_size(path, error);
        std::vector<uint8_t> input(error ? 0 : size);
        std::ifstream file(path, std::ios::binary);
        if (error || !file.read(reinterpret_cast<char *>(input.data()), std::streamsize(input.size()))) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 2;
        }
        std::printf("%s (%zu bytes)\n", path.filename().c_str(), input.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
