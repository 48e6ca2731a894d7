// Runs a fuzz target once over every file of the folders (or the files)
// named on the command line: how the normal build replays each corpus, the
// crashes found included, as a test.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i]))
            inputs.insert(inputs.end(), fs::directory_iterator(argv[i]), fs::directory_iterator());
        else
            inputs.emplace_back(argv[i]);
    }
    std::sort(inputs.begin(), inputs.end());
    // An empty or mistyped corpus path must not pass as "nothing failed".
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s CORPUS-DIR|FILE...: no inputs found\n", argv[0]);
        return 2;
    }
    for (const fs::path &path : inputs) {
        std::ifstream file(path, std::ios::binary);
        const std::vector<uint8_t> input((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (!file.is_open() || file.bad()) {
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
