#include "heatmap/colour_scale.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace heatmap {

int correlationHundredths(float r) {
  // A float times 100 is exact in double (24 + 7 bits), so nearbyint sees the exact value and
  // rounds ties to even, as the report's fixed-point output does.
  const double scaled = std::nearbyint(static_cast<double>(r) * 100.0);
  return static_cast<int>(std::clamp(scaled, -100.0, 100.0));
}

Rgb divergingColour(int hundredths) {
  const int h = std::clamp(hundredths, -100, 100);
  std::size_t upper = 1;
  while (colourStops[upper].hundredths < h) ++upper;
  const ColourStop& a = colourStops[upper - 1];
  const ColourStop& b = colourStops[upper];
  const int span = b.hundredths - a.hundredths;
  const int along = h - a.hundredths;
  // Integer interpolation, rounded to nearest: no floating point, so no platform differences.
  const auto mix = [&](uint8_t from, uint8_t to) {
    return static_cast<uint8_t>((from * (span - along) + to * along + span / 2) / span);
  };
  return {mix(a.colour.red, b.colour.red), mix(a.colour.green, b.colour.green),
          mix(a.colour.blue, b.colour.blue)};
}

void appendHexColour(std::string& out, Rgb colour) {
  static constexpr char digits[] = "0123456789abcdef";
  out += '#';
  for (const uint8_t channel : {colour.red, colour.green, colour.blue}) {
    out += digits[channel >> 4];
    out += digits[channel & 0x0F];
  }
}

void appendHundredths(std::string& out, int hundredths) {
  if (hundredths < 0) out += '-';
  const int magnitude = std::abs(hundredths);
  std::array<char, 12> digits{};
  out.append(digits.data(),
             std::to_chars(digits.data(), digits.data() + digits.size(), magnitude / 100).ptr);
  out += '.';
  out += static_cast<char>('0' + magnitude % 100 / 10);
  out += static_cast<char>('0' + magnitude % 10);
}

}  // namespace heatmap
