#include "events/centring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "events/events_file.h"
#include "sdm/io_error.h"
#include "support/expect_throw.h"
#include "support/temp_dir.h"

using namespace events;
using contract::Centring;

namespace {

TEST(Modulators, CentreAndScaleAmplitudesOverTheirEvents) {
  const std::vector<Event> events{{0, 1, 1.0}, {5, 1, 2.0}, {9, 1, 6.0}};
  const auto amplitudes = [&](Centring centring) {
    std::vector<double> out;
    for (const Event& e : centred(events, centring)) out.push_back(e.amplitude);
    return out;
  };
  EXPECT_EQ(amplitudes(Centring::none), (std::vector<double>{1, 2, 6}));
  EXPECT_EQ(amplitudes(Centring::demean), (std::vector<double>{-2, -1, 3}));
  EXPECT_EQ(amplitudes(Centring::scale),
            (std::vector<double>{-2 / std::sqrt(7.0), -1 / std::sqrt(7.0), 3 / std::sqrt(7.0)}));
  EXPECT_EQ(centred({{0, 1, 4.0}}, Centring::scale)[0].amplitude, 0.0);
}

TEST(Modulators, TakeTheRowsWithANumberInTheirColumn) {
  testing_support::TempDir dir;
  dir.write("e.tsv",
            "onset\tduration\ttrial_type\trt\n1\t1\tgo\t0.5\n2\t1\tgo\tn/a\n3\t1\tno\t2\n");
  const EventsTable table = readEventsFile(dir.file("e.tsv"), {"", {"rt"}});
  ASSERT_EQ(table.modulated.size(), 1u);
  EXPECT_EQ(table.events[0].size(), 2u);  // go keeps its event without a number
  ASSERT_EQ(table.modulated[0][0].size(), 1u);
  EXPECT_EQ(table.modulated[0][0][0].amplitude, 0.5);
  EXPECT_EQ(table.modulated[0][1][0].amplitude, 2.0);
  EXPECT_THROW_MSG(readEventsFile(dir.file("e.tsv"), {"", {"rating"}}), sdm::IOError,
                   "Invalid events file " + dir.file("e.tsv") + " (line 1: no rating column)");
}

}  // namespace
