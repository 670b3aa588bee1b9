// The finder on a file of mixed content (256 MiB unless PIXVUE_BENCH_MB says otherwise), read
// from the page cache, against a plain sequential read of the same file in the same run. Ends
// with their ratio and the peak resident memory of pixvue-scan on that file, and on one long
// picture.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "decode/data_file.h"
#include "find/finder.h"
#include "support/synthetic_picture.h"

namespace pixvue::bench {
namespace {

constexpr std::size_t kMiB = 1 << 20;

std::size_t fileMiB() {
    const char* mb = std::getenv("PIXVUE_BENCH_MB");
    const long value = mb ? std::atol(mb) : 256;
    return value > 0 ? static_cast<std::size_t>(value) : 256;
}

// Each 8 MiB: random bytes (as compressed data is), zeros, text, program code, 16-bit sound,
// 0xFF, and one MiB of pictures of assorted widths at odd and even addresses.
void writeMixed(const std::string& path, std::size_t mib) {
    std::ofstream out(path, std::ios::binary);
    std::mt19937 rng(20261208);
    std::vector<char> code;
    {
        std::ifstream self("/proc/self/exe", std::ios::binary);
        code.assign(std::istreambuf_iterator<char>(self), {});
        code.resize(kMiB);
    }
    const std::string words[] = {"the ", "picture ", "width ", "of ", "a ", "file ", "data\n"};
    auto put = [&](const std::vector<std::uint8_t>& bytes) {
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    };
    for (std::size_t block = 0; block < mib / 8; ++block) {
        put(testing::randomBytes(2 * kMiB, static_cast<std::uint32_t>(block)));
        put(std::vector<std::uint8_t>(kMiB, 0));
        std::string text;
        while (text.size() < kMiB) text += words[rng() % 7];
        text.resize(kMiB);
        out << text;
        out.write(code.data(), static_cast<std::streamsize>(code.size()));
        put(testing::toneSamples(kMiB / 2, 50 + block % 40, 2000));
        put(std::vector<std::uint8_t>(kMiB, 0xFF));
        std::size_t pictures = 0;
        while (pictures < kMiB) {
            const int width = 8 + static_cast<int>(rng() % 500);
            const int height = 8 + static_cast<int>(rng() % 200);
            auto picture = testing::syntheticPicture(width, height, rng());
            picture.resize(std::min(picture.size(), kMiB - pictures));
            if (pictures + picture.size() + 1 >= kMiB) picture.resize(kMiB - pictures);
            put(picture);
            pictures += picture.size();
            if (pictures < kMiB) {
                out.put(static_cast<char>(rng()));
                ++pictures;
            }
        }
    }
}

const std::string& mixedFile() {
    static const std::string path = [] {
        const std::size_t mib = fileMiB();
        const std::string p =
            std::string(PIXVUE_BENCH_DIR) + "/bench-mixed-" + std::to_string(mib) + ".bin";
        std::error_code ec;
        if (std::filesystem::file_size(p, ec) != mib / 8 * 8 * kMiB) writeMixed(p, mib);
        return p;
    }();
    return path;
}

void sequentialRead(benchmark::State& state) {
    DataFile file;
    if (!file.open(mixedFile())) return state.SkipWithError("no file");
    std::vector<std::byte> block(4 * kMiB);
    std::int64_t total = 0;
    for (auto _ : state) {
        std::int64_t offset = 0;
        while (const std::size_t got = file.readAt(offset, block)) {
            benchmark::DoNotOptimize(block.data());
            offset += static_cast<std::int64_t>(got);
        }
        total += offset;
    }
    state.SetItemsProcessed(total);
}

void scan(benchmark::State& state) {
    std::int64_t total = 0;
    for (auto _ : state) {
        const auto result = find::findPictures(mixedFile(), {});
        benchmark::DoNotOptimize(result.candidates.data());
        total += static_cast<std::int64_t>(result.size);
    }
    state.SetItemsProcessed(total);
}

BENCHMARK(sequentialRead)->Name("read")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(scan)->Name("scan")->UseRealTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// 16 MiB of one smooth picture 1024 words wide: one stretch far longer than a piece, the
// finder's largest use of memory.
const std::string& longPictureFile() {
    static const std::string path = [] {
        const std::string p = std::string(PIXVUE_BENCH_DIR) + "/bench-long-picture.bin";
        std::error_code ec;
        if (std::filesystem::file_size(p, ec) != 16 * kMiB) {
            const auto picture = testing::syntheticPicture(1024, 8192, 20261209);
            std::ofstream(p, std::ios::binary)
                .write(reinterpret_cast<const char*>(picture.data()),
                       static_cast<std::streamsize>(picture.size()));
        }
        return p;
    }();
    return path;
}

// 16 MiB of small numbers rising by a few at a time: smooth words, every pair of them a
// possible size header, one stretch throughout.
const std::string& numberTableFile() {
    static const std::string path = [] {
        const std::string p = std::string(PIXVUE_BENCH_DIR) + "/bench-number-table.bin";
        std::error_code ec;
        if (std::filesystem::file_size(p, ec) != 16 * kMiB) {
            std::mt19937 rng(20261210);
            std::vector<std::uint8_t> table;
            unsigned v = 0;
            while (table.size() < 16 * kMiB) {
                v = (v + 5 + rng() % 6) % 1024;
                table.push_back(static_cast<std::uint8_t>(v));
                table.push_back(static_cast<std::uint8_t>(v >> 8));
            }
            std::ofstream(p, std::ios::binary)
                .write(reinterpret_cast<const char*>(table.data()),
                       static_cast<std::streamsize>(table.size()));
        }
        return p;
    }();
    return path;
}

// pixvue-scan as a user runs it, its peak resident set from the kernel's accounting.
long scanPeakKiB(const std::string& file) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
        ::execl(PIXVUE_SCAN, PIXVUE_SCAN, file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

// Up to 256 MiB of this machine's shared libraries, back to back in name order: real programs'
// code and tables, whose long smooth stretches and many short ones at once took the most
// memory of any data met so far. Empty where there are none.
const std::string& librariesFile() {
    static const std::string path = [] {
        const std::string p = std::string(PIXVUE_BENCH_DIR) + "/bench-libraries.bin";
        std::vector<std::filesystem::path> names;
        std::error_code ec;
        for (const auto& entry :
             std::filesystem::directory_iterator("/usr/lib/x86_64-linux-gnu", ec))
            if (entry.is_regular_file(ec) &&
                entry.path().filename().string().find(".so") != std::string::npos)
                names.push_back(entry.path());
        std::sort(names.begin(), names.end());
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        std::size_t written = 0;
        std::vector<char> buffer;
        for (const auto& name : names) {
            if (written >= 256 * kMiB) break;
            std::ifstream in(name, std::ios::binary);
            buffer.assign(std::istreambuf_iterator<char>(in), {});
            const std::size_t n = std::min(buffer.size(), 256 * kMiB - written);
            out.write(buffer.data(), static_cast<std::streamsize>(n));
            written += n;
        }
        return written > 0 ? p : std::string();
    }();
    return path;
}

}  // namespace
}  // namespace pixvue::bench

int main(int argc, char** argv) {
    using namespace pixvue::bench;
    if (!initializeWithDefaults(argc, argv)) return 1;
    std::cout << "mixed file: " << mixedFile() << '\n';
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double read = reporter.itemsPerSecond("read"), scanned = reporter.itemsPerSecond("scan");
    std::cout.precision(3);
    std::cout << "scan: " << scanned / 1e6 << " MB/s, read: " << read / 1e6 << " MB/s\n";
    std::cout << "scan/read: " << (read > 0 ? scanned / read : 0) << '\n';
    std::cout.flush();
    std::fflush(stdout);
    const long peak = scanPeakKiB(mixedFile());
    std::cout << "pixvue-scan peak resident memory: " << (peak < 0 ? 0 : peak / 1024) << " MiB\n";
    std::cout.flush();
    std::fflush(stdout);
    const long longPeak = scanPeakKiB(longPictureFile());
    std::cout << "pixvue-scan peak resident memory on one 16 MiB picture: "
              << (longPeak < 0 ? 0 : longPeak / 1024) << " MiB\n";
    std::cout.flush();
    const long tablePeak = scanPeakKiB(numberTableFile());
    std::cout << "pixvue-scan peak resident memory on 16 MiB of small numbers: "
              << (tablePeak < 0 ? 0 : tablePeak / 1024) << " MiB\n";
    std::cout.flush();
    if (!librariesFile().empty()) {
        const long libraryPeak = scanPeakKiB(librariesFile());
        std::cout << "pixvue-scan peak resident memory on this machine's shared libraries ("
                  << std::filesystem::file_size(librariesFile()) / kMiB
                  << " MiB): " << (libraryPeak < 0 ? 0 : libraryPeak / 1024) << " MiB\n";
    }
    return 0;
}
