#pragma once

#include <numbers>

namespace lithora {

// One degree in radians, and one radian in degrees.
inline constexpr double kDegree = std::numbers::pi / 180.0;
inline constexpr double kDegrees = 180.0 / std::numbers::pi;

}  // namespace lithora
