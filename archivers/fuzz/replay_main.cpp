// Replays the inputs a fuzz target once failed on through the same entry
// point, as a unit test: every file of the folder given, in name order. A
// fault that comes back stops this program as it stopped the fuzz target, and
// the name printed last is the input. A folder without files passes, so a
// target's findings start when fuzz.sh copies its first one there.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FINDINGS-FOLDER\n", argv[0]);
        return 2;
    }
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    std::error_code error;
    for (fs::directory_iterator it(argv[1], error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file())
            inputs.push_back(it->path());
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
        std::ifstream file(input, std::ios::binary);
        std::vector<char> bytes(fs::file_size(input, error));
        if (error || !file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
            std::fprintf(stderr, "%s: cannot be read\n", input.c_str());
            return 1;
        }
        std::printf("%s (%zu bytes)\n", input.c_str(), bytes.size());
        std::fflush(stdout);
        (void)LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
