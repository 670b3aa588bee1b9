#include "pixel_rows.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define PIXVUE_AVX2_KERNEL 1
#else
#define PIXVUE_AVX2_KERNEL 0
#endif

namespace pixvue {
namespace {

using RowDecoder = void (*)(std::span<const std::byte>, std::uint32_t*);

#if PIXVUE_AVX2_KERNEL
// Sixteen words per step. In 16-bit lanes the low half of a pixel is blue | green << 8 and its
// high half red | 0xFF00; interleaving the two halves gives the 0xFFRRGGBB words. The channel
// bits land at their final places by shifting the word: blue (bits 10-14) right by 7, green
// (bits 5-9) left by 6 into the high byte, red (bits 0-4) left by 3; the masks drop the
// neighbours and bit 15.
__attribute__((target("avx2"))) void decodeAvx2(std::span<const std::byte> bytes,
                                                std::uint32_t* out) {
    const std::size_t words = bytes.size() / 2;
    const std::byte* in = bytes.data();
    const __m256i channelLow = _mm256_set1_epi16(0x00F8);
    const __m256i channelHigh = _mm256_set1_epi16(static_cast<short>(0xF800));
    const __m256i alpha = _mm256_set1_epi16(static_cast<short>(0xFF00));
    std::size_t k = 0;
    for (; k + 16 <= words; k += 16) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * k));
        // Words 0-3 and 8-11 into the low 128-bit lane, 4-7 and 12-15 into the high one: the
        // unpacks below work within lanes, and so emit pixels 0-7, then 8-15, in order.
        v = _mm256_permute4x64_epi64(v, 0xD8);
        const __m256i blue = _mm256_and_si256(_mm256_srli_epi16(v, 7), channelLow);
        const __m256i green = _mm256_and_si256(_mm256_slli_epi16(v, 6), channelHigh);
        const __m256i red = _mm256_and_si256(_mm256_slli_epi16(v, 3), channelLow);
        const __m256i low = _mm256_or_si256(blue, green);
        const __m256i high = _mm256_or_si256(red, alpha);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm256_unpacklo_epi16(low, high));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k + 8),
                            _mm256_unpackhi_epi16(low, high));
    }
    // The last 0-15 words, and an odd trailing byte that is no word.
    decodePixelRowPlain(bytes.subspan(2 * k), out + k);
}
#endif

// Chosen once, at the first call, for the processor the program runs on.
RowDecoder decoder() {
    static const RowDecoder chosen = [] {
#if PIXVUE_AVX2_KERNEL
        __builtin_cpu_init();  // safe also when the first call comes from a static constructor
        if (__builtin_cpu_supports("avx2")) return &decodeAvx2;
#endif
        return &decodePixelRowPlain;
    }();
    return chosen;
}

}  // namespace

void decodePixelRow(std::span<const std::byte> bytes, std::uint32_t* out) {
    decoder()(bytes, out);
}

bool decodePixelRowIsVectorised() {
    return decoder() != &decodePixelRowPlain;
}

}  // namespace pixvue
