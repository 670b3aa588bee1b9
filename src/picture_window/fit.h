// Arithmetic of "Resize": scale the window's outer size by the ratio of the wanted client size
// to the present one, so the frame scales along and repeated presses converge.
#pragma once

#include <optional>

namespace pixvue {

// The new outer extent for one axis: outer / client x pictureExtent x zoom in double precision,
// rounded to single precision and then to the nearest whole pixel. Empty when there is nothing
// sound to compute: a client extent of zero, or a wanted extent that is not positive.
std::optional<int> fittedOuterExtent(int outer, int client, double pictureExtent, int zoom);

}  // namespace pixvue
