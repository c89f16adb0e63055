#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "matrix_text.h"
#include "sdm/design_matrix.h"
#include "sdm/sdm_file.h"
#include "support/temp_dir.h"

using namespace sdm;

namespace {

using testing_support::crlf;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string kExample = crlf(
    "FileVersion:            1\n"
    "\n"
    "NrOfPredictors:         2\n"
    "NrOfDataPoints:         3\n"
    "IncludesConstant:       1\n"
    "FirstConfoundPredictor: 2\n"
    "\n"
    "255 0 0   255 255 255\n"
    "\"Motion\" \"Constant\"\n"
    "  0.250000   1.000000\n"
    " -0.500000   1.000000\n"
    "  1.000000   1.000000\n");

// Loads the example (CRLF), checks every member, saves it to another path and returns the
// saved bytes.
std::string exampleSavedAgain() {
  TempDir dir;
  writeFile(dir.file("example.sdm"), kExample);
  DesignMatrix m = loadSdm(dir.file("example.sdm"));
  EXPECT_EQ(m.fileName, dir.file("example.sdm"));
  EXPECT_EQ(sdm_test::describe(m),
            "fileVersion FileVersion 24 1\n"
            "nrOfPredictors NrOfPredictors 24 2\n"
            "nrOfDataPoints NrOfDataPoints 24 3\n"
            "includesConstant IncludesConstant 24 1\n"
            "firstConfoundPredictor FirstConfoundPredictor 24 2\n"
            "colours 255,0,0 255,255,255\nnames [Motion] [Constant]\n"
            "values 0.25 -0.5 1\nvalues 1 1 1\n");
  EXPECT_EQ(sdm_test::kindsText(m), "interest constant");
  saveSdm(m, dir.file("copy.sdm"));
  return readFile(dir.file("copy.sdm"));
}

TEST(SdmRoundTrip, TheExampleFileSavesBackByteForByte) { EXPECT_EQ(exampleSavedAgain(), kExample); }

// Bit patterns, so that -0.0 and 0.0 differ and NaN would compare.
std::vector<uint32_t> bitsOf(const DesignMatrix& m) {
  std::vector<uint32_t> bits;
  for (const Predictor& p : m.predictors) {
    for (float v : p.values) bits.push_back(std::bit_cast<uint32_t>(v));
  }
  return bits;
}

// Every predictor's red, green and blue, in order.
std::vector<int32_t> coloursOf(const DesignMatrix& m) {
  std::vector<int32_t> colours;
  for (const Predictor& p : m.predictors)
    colours.insert(colours.end(), {p.colour.red, p.colour.green, p.colour.blue});
  return colours;
}

DesignMatrix randomMatrix(std::mt19937& random, int32_t predictors, int32_t dataPoints) {
  std::uniform_real_distribution<float> narrow(-9.999f, 9.999f);
  std::uniform_real_distribution<float> exponent(-3.0f, 9.0f);
  std::uniform_int_distribution<int32_t> anyInt(INT32_MIN, INT32_MAX);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> small(0, 40);
  std::bernoulli_distribution coin(0.5);

  DesignMatrix m = sdm_test::makeMatrix({}, {}, dataPoints, 1);
  SdmLayout layout;
  layout.version = anyInt(random);
  layout.fileVersion = {small(random), coin(random)};
  layout.nrOfPredictors = {small(random), true};
  layout.nrOfDataPoints = {small(random), true};
  m.includesConstant = coin(random);
  layout.includesConstant = {small(random), coin(random)};
  m.firstConfoundPredictor = anyInt(random);
  layout.firstConfoundPredictor = {small(random), true};
  m.layout = std::make_shared<const SdmLayout>(layout);
  for (int32_t p = 0; p < predictors; ++p) {
    const PredictorColour colour{anyInt(random), byte(random), anyInt(random)};
    // Any byte but the quote and the line ends, high bytes and blanks included.
    std::string name;
    for (int i = small(random); i > 0; --i) {
      char ch = static_cast<char>(byte(random));
      if (ch == '"' || ch == '\n' || ch == '\r') ch = '_';
      name += ch;
    }
    std::vector<float> column;
    for (int32_t t = 0; t < dataPoints; ++t) {
      float v = coin(random) ? narrow(random)
                             : std::pow(10.0f, exponent(random)) * (coin(random) ? 1.0f : -1.0f);
      // A value in (-0.0000005, 0) is written "-0.000000" without the extra blank, then read
      // as -0.0 and written with it: same value, other bytes. Keep the layout test exact.
      if (v < 0.0f && v > -0.0000005f) v = -v;
      column.push_back(v);
    }
    m.predictors.push_back({name, colour, PredictorKind::confound, column});
  }
  return m;
}

TEST(SdmRoundTrip, RandomMatricesSaveLoadAndSaveToTheSameBytesAndValues) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> predictors(0, 12);
  std::uniform_int_distribution<int32_t> dataPoints(0, 30);
  TempDir dir;
  for (int round = 0; round < 200; ++round) {
    // One large matrix makes the writer hand over several chunks.
    const bool large = round == 0;
    DesignMatrix m =
        randomMatrix(random, large ? 120 : predictors(random), large ? 1200 : dataPoints(random));
    saveSdm(m, dir.file("first.sdm"));
    const DesignMatrix loaded = loadSdm(dir.file("first.sdm"));
    DesignMatrix again = loaded;
    saveSdm(again, dir.file("second.sdm"));
    const DesignMatrix reloaded = loadSdm(dir.file("second.sdm"));

    const std::string first = readFile(dir.file("first.sdm"));
    ASSERT_EQ(readFile(dir.file("second.sdm")), first) << "round " << round;
    ASSERT_EQ(bitsOf(reloaded), bitsOf(loaded)) << "round " << round;
    ASSERT_EQ(namesOf(loaded.predictors), namesOf(m.predictors)) << "round " << round;
    ASSERT_EQ(coloursOf(loaded), coloursOf(m));
    ASSERT_EQ(loaded.firstConfoundPredictor, m.firstConfoundPredictor);
    ASSERT_EQ(loaded.includesConstant && layoutOf(loaded).includesConstant.present,
              m.includesConstant && layoutOf(m).includesConstant.present);
    // Every value reads back as its text with its column's decimals (six, more for a column
    // of small values) converted to double, then to float.
    for (std::size_t p = 0; p < m.predictors.size(); ++p) {
      const std::vector<float>& values = m.predictors[p].values;
      const int decimals = sdm_test::referenceDecimals(values);
      for (std::size_t t = 0; t < values.size(); ++t) {
        const std::string text = sdm_test::printfText(values[t], decimals);
        ASSERT_EQ(sdm_test::floatText(loaded.predictors[p].values[t]),
                  sdm_test::floatText(static_cast<float>(std::strtod(text.c_str(), nullptr))))
            << text;
      }
    }
  }
}

// A decimal comma in the global C++ locale, as a host may have installed.
class CommaDecimal : public std::numpunct<char> {
 protected:
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

// Installs a non-classic global locale for its lifetime and restores the old one after.
class GlobalLocale {
 public:
  GlobalLocale() : previous_(std::locale()), previousC_(std::setlocale(LC_ALL, nullptr)) {
    // The locale takes ownership of the facet: this is how facets are installed.
    std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    for (const char* name :
         {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "fr_FR"}) {
      if (std::setlocale(LC_ALL, name)) {
        cName_ = name;
        break;
      }
    }
  }
  ~GlobalLocale() {
    std::locale::global(previous_);
    std::setlocale(LC_ALL, previousC_.c_str());
  }
  const std::string& cName() const { return cName_; }

 private:
  std::locale previous_;
  std::string previousC_;
  std::string cName_;
};

TEST(SdmRoundTrip, AGlobalLocaleWithADecimalCommaChangesNothing) {
  std::mt19937 random(11);
  TempDir dir;
  const DesignMatrix m = randomMatrix(random, 6, 20);
  DesignMatrix classic = m;
  saveSdm(classic, dir.file("classic.sdm"));
  const std::string classicBytes = readFile(dir.file("classic.sdm"));
  {
    GlobalLocale comma;
    if (comma.cName().empty()) {
      std::printf("no de_DE or fr_FR C locale on this machine: only the C++ locale is set\n");
    } else {
      char text[16];
      std::snprintf(text, sizeof text, "%.1f", 1.5);
      EXPECT_EQ(std::string(text), "1,5") << comma.cName();  // the C locale really changed
    }
    EXPECT_EQ(exampleSavedAgain(), kExample);
    DesignMatrix local = m;
    saveSdm(local, dir.file("local.sdm"));
    EXPECT_EQ(readFile(dir.file("local.sdm")), classicBytes);
    const DesignMatrix loaded = loadSdm(dir.file("classic.sdm"));
    EXPECT_EQ(bitsOf(loaded), bitsOf(loadSdm(dir.file("local.sdm"))));
  }
  EXPECT_EQ(bitsOf(loadSdm(dir.file("local.sdm"))), bitsOf(loadSdm(dir.file("classic.sdm"))));
}

// Not a test but a measurement; run it with
//   brindle_unit_tests --gtest_also_run_disabled_tests --gtest_filter='*DISABLED_Measures*'
TEST(SdmRoundTrip, DISABLED_MeasuresALargeMatrix) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> narrow(-9.999f, 9.999f);
  const int32_t predictors = 1000;
  const int32_t dataPoints = 5000;
  std::vector<std::vector<float>> columns(predictors, std::vector<float>(dataPoints));
  for (auto& column : columns) {
    for (float& v : column) v = narrow(random);
  }
  DesignMatrix m = sdm_test::makeMatrix(std::vector<std::string>(predictors, "Predictor"), columns,
                                        dataPoints, predictors + 1);
  TempDir dir;
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  saveSdm(m, dir.file("large.sdm"));
  const auto saved = Clock::now();
  const DesignMatrix loaded = loadSdm(dir.file("large.sdm"));
  const auto done = Clock::now();
  const auto ms = [](auto d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  };
  std::printf("1000 x 5000 (%ju bytes): save %lld ms, load %lld ms\n",
              static_cast<std::uintmax_t>(readFile(dir.file("large.sdm")).size()),
              static_cast<long long>(ms(saved - start)), static_cast<long long>(ms(done - saved)));
  EXPECT_EQ(loaded.predictors.size(), m.predictors.size());
}

}  // namespace
