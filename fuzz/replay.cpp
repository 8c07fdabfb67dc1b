// Stands in for libFuzzer's driver where there is none (GCC): feeds every regular
// file of the folders and files named on the command line to the target once, in
// name order, as libFuzzer does when it is handed files to run. A target's own
// checks abort the program, which fails the test. An empty or missing seed folder
// fails too, so a renamed folder cannot turn the replay into a test of nothing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> Inputs(const std::filesystem::path& argument)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    if (std::filesystem::is_regular_file(argument, error))
        return {argument};
    for (std::filesystem::directory_iterator it(argument, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(error))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SEED_FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const std::filesystem::path& file : Inputs(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "cannot read %s\n", file.c_str());
                return 1;
            }
            const std::string bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
            // The fuzzer never hands a target a null pointer with its size; neither
            // do we, even for an empty file.
            static const std::uint8_t kNothing = 0;
            const auto* data =
                bytes.empty() ? &kNothing : reinterpret_cast<const std::uint8_t*>(bytes.data());
            LLVMFuzzerTestOneInput(data, bytes.size());
            ++replayed;
        }
    }
    std::printf("replayed %zu inputs\n", replayed);
    if (replayed == 0) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    return 0;
}
