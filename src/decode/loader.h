// Turning the three field texts into a checked picture request, and reading that picture's
// pixels from the data file into the surface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "data_file.h"
#include "picture_surface.h"
#include "shared/message.h"

namespace pixvue {

// Last indices and start address, as the last load stored them: the picture is
// PicWidth + 1 pixels wide and PicHeight + 1 pixels high.
struct PictureFields {
    std::int32_t PicWidth = 0;
    std::int32_t PicHeight = 0;
    std::int32_t PicAddress = 0;
};

inline constexpr std::int32_t kMaxSide = 1024;
inline constexpr std::int32_t kMaxAddress = 2000000000;

enum class LoadVerdict {
    Accepted,
    NotANumber,
    WidthOutOfRange,
    HeightOutOfRange,
    AddressOutOfRange
};

// Converts width, height and address in that order, storing each field as soon as its text
// converts, then checks the ranges; the first failure decides the verdict.
LoadVerdict convertFields(std::string_view width, std::string_view height, std::string_view address,
                          PictureFields& fields);

// The ranges the loader accepts, applied to fields as they stand.
bool fieldsInRange(const PictureFields& fields);

// The message box for a rejected load; empty for Accepted.
std::optional<Message> messageFor(LoadVerdict verdict);

inline constexpr Message kFileUnreadable{"The file could not be read", "Something went wrong",
                                         MessageIcon::Critical};

// Reads the picture that `fields` describe (which must be in range) from `file` into the
// surface. The result is exactly that of one two-byte read per pixel into a word that starts at
// 0: bytes that do not arrive keep their previous value, so past the end of the file the last
// pixel repeats and a single trailing byte replaces only the low byte. `rowDone(y)` runs after
// row y has been written. `scratch` keeps the read buffer between loads.
void readPicture(DataFile& file, const PictureFields& fields, PictureSurface& surface,
                 std::vector<std::byte>& scratch, const std::function<void(int row)>& rowDone);

}  // namespace pixvue
