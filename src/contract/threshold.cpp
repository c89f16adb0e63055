#include "contract/threshold.h"

#include <charconv>
#include <system_error>

#include "contract/terms.h"

namespace contract {

CorrelationThreshold parseCorrelationThreshold(std::string_view text) {
  const std::string_view t = withoutBlanks(text);
  if (t.empty()) return {};
  float value = 0.0f;
  const char* const last = t.data() + t.size();
  const auto [end, error] = std::from_chars(t.data(), last, value, std::chars_format::general);
  if (error != std::errc() || end != last || !(value > 0.0f && value <= 1.0f))
    return {CorrelationThreshold::State::invalid, 0.0f, std::string(t)};
  return {CorrelationThreshold::State::on, value, std::string(t)};
}

}  // namespace contract
