// Sprite banks whose pictures each follow a header giving their size: the width, then the
// height, as 16-bit numbers of either byte order, perhaps with more fields after them. Where
// such headers chain (each picture ends where the next header begins, after the same number of
// header bytes), every picture's first byte and rows are known exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pixvue::find {

struct BankPicture {
    std::uint64_t address = 0;  // of the first pixel, counted from the span's first byte
    int height = 0;

    friend bool operator==(const BankPicture&, const BankPicture&) = default;
};

// The banks of pictures `width` pixels wide in `bytes`: each a chain of two or more headers,
// with the pictures after them in address order.
std::vector<std::vector<BankPicture>> banksAfterHeaders(std::span<const std::byte> bytes,
                                                        int width);

struct Bank {
    int width = 0;
    std::vector<BankPicture> pictures;
};

// Whether the words of the pictures are clearly closer to the word a row below than to words
// far apart in the same picture (within that share of the distance): what a chain of headers
// by chance over other data is not.
bool rowsFit(std::span<const std::byte> bytes, std::span<const BankPicture> pictures, int width,
             double within = 2.0 / 3);

// Whether the bytes a bank's pictures span repeat at some distance (nine in ten alike, or
// more) far more than a picture's do, a pixel or a row on: records of one size whose fields
// happen to read as a header's sizes, where a chain of them follows by itself.
bool repeatsAsRecords(std::span<const std::byte> bytes, std::span<const BankPicture> pictures,
                      int width);

// The banks of any width from `minWidth` in `bytes` whose headers give both sizes (the height
// in 16 bits, or in one byte for pictures under 256 rows): where no picture of the bank's
// width was found to look for it by.
std::vector<Bank> banksOfAnyWidth(std::span<const std::byte> bytes, int minWidth);

}  // namespace pixvue::find
