#include "contract/modulators.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/expect_throw.h"

namespace {

using namespace contract;

TEST(Modulators, ReadTheirTermsOrSayHowToWriteThem) {
  EXPECT_EQ(parseModulators(" rt:demean , ,rating:scale,x "),
            (std::vector<Modulator>{
                {"rt", Centring::demean}, {"rating", Centring::scale}, {"x", Centring::none}}));
  EXPECT_EQ(parseModulators(""), std::vector<Modulator>{});
  const std::pair<const char*, const char*> refused[] = {
      {"rt:mean", "modulator \"rt:mean\": write COLUMN, COLUMN:demean or COLUMN:scale"},
      {":scale",
       "modulator \":scale\" names no column; write COLUMN, COLUMN:demean or COLUMN:scale"},
      {"rt,rt:scale", "modulator column \"rt\" is named twice; name each column once"}};
  for (const auto& [terms, message] : refused)
    EXPECT_THROW_MSG(parseModulators(terms), ModulatorTermError, message);
  EXPECT_EQ(modulatedName("faces", "rt"), "faces_x_rt");
}

}  // namespace
