#pragma once

#include <cctype>
#include <string>

namespace testing_support {

// Names a row of a parameterized test by its `what`, every character but letters and digits
// turned into '_': INSTANTIATE_TEST_SUITE_P(Rows, Suite, rows, testing_support::rowName).
struct RowName {
  template <typename Info>
  std::string operator()(const Info& info) const {
    std::string name = info.param.what;
    for (char& c : name)
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
  }
};
inline constexpr RowName rowName;

}  // namespace testing_support
