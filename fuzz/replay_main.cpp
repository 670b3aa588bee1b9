// Replays every seed of a corpus through a fuzz target's entry point, without libFuzzer, so the
// target's properties are checked by every `make test` with the ordinary compiler. A failed
// property aborts (fuzz_check.h); the seed's name was printed just before it.
// Usage: fuzz_replay_<target> CORPUS_DIR...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> seeds;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(argv[i], error))
            if (entry.is_regular_file()) seeds.push_back(entry.path());
        if (error) {
            std::fprintf(stderr, "cannot read the corpus %s: %s\n", argv[i],
                         error.message().c_str());
            return 1;
        }
    }
    // An empty corpus checks nothing: most likely a wrong folder.
    if (seeds.empty()) {
        std::fprintf(stderr, "no seeds found\n");
        return 1;
    }
    std::sort(seeds.begin(), seeds.end());
    for (const fs::path& seed : seeds) {
        std::fprintf(stderr, "%s\n", seed.filename().c_str());
        std::ifstream in(seed, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu seeds replayed\n", seeds.size());
    return 0;
}
