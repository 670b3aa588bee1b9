// Any bytes: the finder neither crashes nor runs away, and every candidate lies inside the data
// with a width and height the viewer takes, in address order. The first byte sets the smallest
// width and height asked for.
#include <cstddef>
#include <cstdint>
#include <span>

#include "find/finder.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    pixvue::find::FindOptions options;
    options.minWidth = 1 + data[0] % 16;
    options.minHeight = 1 + (data[0] >> 4);
    options.minConfidence = 0;
    options.threads = 1;
    const auto bytes = std::as_bytes(std::span(data + 1, size - 1));
    const auto found = pixvue::find::findInBytes(bytes, options);
    std::uint64_t previous = 0;
    for (const auto& c : found) {
        FUZZ_CHECK(c.width >= 1 && c.width <= 1024);
        FUZZ_CHECK(c.height >= 1 && c.height <= 1024);
        FUZZ_CHECK(c.address + 2ull * c.width * c.height <= bytes.size());
        FUZZ_CHECK(c.confidence >= 0 && c.confidence <= 1);
        FUZZ_CHECK(c.address >= previous);
        previous = c.address;
    }
    return 0;
}
