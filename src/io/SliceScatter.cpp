#include "io/SliceScatter.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace volumira {

namespace {

constexpr int kPrefetchRows = 16;

void scatterScalar(const std::uint8_t* in, std::size_t inStride, int rows, int columns, std::uint8_t* out,
                   std::size_t outStride) {
    for (int j = 0; j < columns; ++j)
        for (int b = 0; b < rows; ++b)
            out[j * outStride + b] = in[b * inStride + j];
}

#if defined(__SSE2__)
// Transposes 16 rows of 16 bytes (row b at in + b * inStride) into 16 rows at out + j * outStride.
inline void transpose16(const std::uint8_t* in, std::size_t inStride, std::uint8_t* out,
                        std::size_t outStride) {
    __m128i r[16], t[16];
    for (int b = 0; b < 16; ++b)
        r[b] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + b * inStride));
    for (int i = 0; i < 8; ++i) {
        t[2 * i] = _mm_unpacklo_epi8(r[2 * i], r[2 * i + 1]);
        t[2 * i + 1] = _mm_unpackhi_epi8(r[2 * i], r[2 * i + 1]);
    }
    for (int g = 0; g < 4; ++g) { // rows 4g .. 4g+3
        const __m128i* s = t + 4 * g;
        r[4 * g + 0] = _mm_unpacklo_epi16(s[0], s[2]);
        r[4 * g + 1] = _mm_unpackhi_epi16(s[0], s[2]);
        r[4 * g + 2] = _mm_unpacklo_epi16(s[1], s[3]);
        r[4 * g + 3] = _mm_unpackhi_epi16(s[1], s[3]);
    }
    for (int g = 0; g < 2; ++g) { // rows 8g .. 8g+7
        const __m128i* s = r + 8 * g;
        __m128i* d = t + 8 * g;
        for (int m = 0; m < 4; ++m) {
            d[2 * m] = _mm_unpacklo_epi32(s[m], s[m + 4]);
            d[2 * m + 1] = _mm_unpackhi_epi32(s[m], s[m + 4]);
        }
    }
    for (int m = 0; m < 8; ++m) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (2 * m) * outStride),
                         _mm_unpacklo_epi64(t[m], t[m + 8]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (2 * m + 1) * outStride),
                         _mm_unpackhi_epi64(t[m], t[m + 8]));
    }
}
#endif

} // namespace

void scatterSlices(const std::uint8_t* batch, int count, int ny, int nz, std::uint8_t* voxels, int nx,
                   int firstX) {
    const std::size_t planeSize = static_cast<std::size_t>(ny) * nz;
    const std::size_t rowStride = static_cast<std::size_t>(nx);
    const std::size_t sliceSize = rowStride * ny;
    for (int r = 0; r < nz; ++r) {
        for (int c = 0; c < ny; c += 16) {
            const int columns = ny - c < 16 ? ny - c : 16;
            // The destination rows lie nx bytes apart, a stride the hardware does not prefetch well;
            // asking for the rows of the next tile ahead of time roughly halves the cost.
            if (c + kPrefetchRows < ny) {
                std::uint8_t* ahead = voxels + firstX + (c + kPrefetchRows) * rowStride + r * sliceSize;
                const int rows = ny - c - kPrefetchRows < 16 ? ny - c - kPrefetchRows : 16;
                for (int j = 0; j < rows; ++j) {
                    __builtin_prefetch(ahead + j * rowStride, 1, 3);
                    __builtin_prefetch(ahead + j * rowStride + count - 1, 1, 3);
                }
            }
            // One source line serves four tiles; fetch the next line of every slice in the batch.
            if (c % 64 == 0) {
                const std::uint8_t* next = batch + static_cast<std::size_t>(r) * ny + c + 64;
                for (int b = 0; b < count; ++b)
                    __builtin_prefetch(next + b * planeSize, 0, 3);
            }
            const std::uint8_t* in = batch + static_cast<std::size_t>(r) * ny + c;
            std::uint8_t* out = voxels + firstX + c * rowStride + r * sliceSize;
            int b = 0;
#if defined(__SSE2__)
            if (columns == 16)
                for (; b + 16 <= count; b += 16)
                    transpose16(in + b * planeSize, planeSize, out + b, rowStride);
#endif
            if (b < count)
                scatterScalar(in + b * planeSize, planeSize, count - b, columns, out + b, rowStride);
        }
    }
}

} // namespace volumira
