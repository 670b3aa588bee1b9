#include "fit.h"

#include <cmath>
#include <limits>

namespace pixvue {

std::optional<int> fittedOuterExtent(int outer, int client, double pictureExtent, int zoom) {
    if (client <= 0 || outer <= 0 || pictureExtent * zoom <= 0) return std::nullopt;
    const double wanted = static_cast<double>(outer) / client * pictureExtent * zoom;
    const auto single = static_cast<float>(wanted);
    const double rounded = std::nearbyint(static_cast<double>(single));
    if (!std::isfinite(rounded) || rounded > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(rounded);
}

}  // namespace pixvue
