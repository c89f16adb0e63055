#include "confound_generator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <optional>
#include <string_view>
#include <vector>

#include "random.h"

namespace tools {

namespace {

using Series = std::vector<double>;

// One column of the table: its name and its values; a missing value is written "n/a".
struct Column {
  std::string name;
  std::vector<std::optional<double>> values;
  bool single = false;  // written as the shortest text of the float nearest each value
};

constexpr double displacementRadius = 50.0;  // mm: rotations count as arcs on this sphere
constexpr double outlierDisplacement = 0.5;  // mm
constexpr double highPassPeriod = 128.0;     // seconds
const char* const motionNames[] = {"trans_x", "trans_y", "trans_z", "rot_x", "rot_y", "rot_z"};

// Six motion parameters (mm, then radians) of one run: slow drifts with a sudden movement a third
// and two thirds of the way through, rounded to float as motion correction writes them.
std::vector<Series> headMotion(int points, Random& random) {
  std::vector<Series> motion(6, Series(static_cast<std::size_t>(points), 0.0));
  for (std::size_t k = 0; k < 6; ++k) {
    const double scale = k < 3 ? 0.08 : 0.0015;
    double level = (random.uniform() - 0.5) * scale * 4;
    for (std::size_t t = 0; t < motion[k].size(); ++t) {
      level += (random.uniform() - 0.5) * scale;
      if (static_cast<int>(t) == points / 3 || static_cast<int>(t) == 2 * points / 3) {
        level += (random.uniform() < 0.5 ? -1 : 1) * scale * 6;
      }
      motion[k][t] = static_cast<double>(static_cast<float>(level));
    }
  }
  return motion;
}

Series framewiseDisplacement(const std::vector<Series>& motion) {
  Series fd(motion[0].size(), 0.0);
  for (std::size_t t = 1; t < fd.size(); ++t) {
    for (std::size_t k = 0; k < 6; ++k) {
      const double step = std::fabs(motion[k][t] - motion[k][t - 1]);
      fd[t] += k < 3 ? step : step * displacementRadius;
    }
  }
  return fd;
}

std::vector<std::size_t> outlierPoints(const Series& fd) {
  std::vector<std::size_t> points;
  for (std::size_t t = 1; t < fd.size(); ++t) {
    if (fd[t] > outlierDisplacement) points.push_back(t);
  }
  return points;
}

Series drift(int points, double mean, double spread, Random& random) {
  Series values(static_cast<std::size_t>(points));
  double level = 0.0;
  for (double& v : values) {
    level = 0.9 * level + (random.uniform() - 0.5) * spread;
    v = mean + level + (random.uniform() - 0.5) * spread * 0.5;
  }
  return values;
}

// A noise component as the component analyses give them: zero mean, unit length.
Series component(int points, Random& random) {
  Series values = drift(points, 0.0, 1.0, random);
  double mean = 0.0, norm = 0.0;
  for (double v : values) mean += v;
  mean /= std::max<double>(1.0, static_cast<double>(values.size()));
  for (double& v : values) {
    v -= mean;
    norm += v * v;
  }
  norm = std::sqrt(norm);
  for (double& v : values) v = norm > 0 ? v / norm : 0.0;
  return values;
}

std::string numbered(std::string_view prefix, int k, bool separator) {
  std::string name(prefix);
  if (separator) name += '_';
  if (k < 10) name += '0';
  name += std::to_string(k);
  return name;
}

Column whole(std::string name, const Series& values, bool single = false) {
  Column column{std::move(name), {}, single};
  for (double v : values) column.values.emplace_back(v);
  return column;
}

// The column with "n/a" at the first data point, as for every value that needs the one before.
Column fromSecond(std::string name, const Series& values) {
  Column column = whole(std::move(name), values);
  if (!column.values.empty()) column.values.front().reset();
  return column;
}

// A signal and its three expansions; the derivative has no first value, nor has its square.
void addExpanded(std::vector<Column>& columns, const std::string& name, const Series& x,
                 bool single) {
  Series d(x.size(), 0.0), x2(x.size()), d2(x.size(), 0.0);
  for (std::size_t t = 0; t < x.size(); ++t) {
    if (t > 0) d[t] = x[t] - x[t - 1];
    x2[t] = x[t] * x[t];
    d2[t] = d[t] * d[t];
  }
  columns.push_back(whole(name, x, single));
  columns.push_back(fromSecond(name + "_derivative1", d));
  columns.push_back(whole(name + "_power2", x2));
  columns.push_back(fromSecond(name + "_derivative1_power2", d2));
}

Column indicator(std::string name, std::size_t points, std::size_t at) {
  Series values(points, 0.0);
  if (at < points) values[at] = 1.0;
  return whole(std::move(name), values);
}

std::vector<Column> fmriprepColumns(const ConfoundShape& shape, const std::vector<Series>& motion,
                                    Random& random) {
  const int n = shape.points;
  const auto points = static_cast<std::size_t>(n);
  std::vector<Column> columns;
  addExpanded(columns, "global_signal", drift(n, 512.0, 3.0, random), false);
  addExpanded(columns, "csf", drift(n, 781.0, 9.0, random), false);
  addExpanded(columns, "white_matter", drift(n, 563.0, 2.0, random), false);
  columns.push_back(whole("csf_wm", drift(n, 652.0, 4.0, random)));
  columns.push_back(whole("tcompcor", drift(n, 608.0, 5.0, random)));
  columns.push_back(fromSecond("std_dvars", drift(n, 1.05, 0.3, random)));
  columns.push_back(fromSecond("dvars", drift(n, 18.0, 4.0, random)));
  const Series fd = framewiseDisplacement(motion);
  columns.push_back(fromSecond("framewise_displacement", fd));
  Series rmsd(fd);
  for (double& v : rmsd) v *= 0.6;
  columns.push_back(fromSecond("rmsd", rmsd));
  const std::pair<const char*, int> compcor[] = {{"t_comp_cor", shape.tCompCor},
                                                 {"c_comp_cor", shape.cCompCor},
                                                 {"w_comp_cor", shape.wCompCor},
                                                 {"a_comp_cor", shape.aCompCor}};
  for (const auto& [prefix, count] : compcor) {
    for (int k = 0; k < count; ++k)
      columns.push_back(whole(numbered(prefix, k, true), component(n, random)));
  }
  const int cosines = static_cast<int>(std::floor(2.0 * n * shape.repetitionTime / highPassPeriod));
  for (int k = 1; k <= cosines; ++k) {
    Series values(points);
    for (std::size_t t = 0; t < points; ++t) {
      values[t] = std::sqrt(2.0 / n) *
                  std::cos(std::numbers::pi * (2.0 * static_cast<double>(t) + 1.0) * k / (2.0 * n));
    }
    columns.push_back(whole(numbered("cosine", k - 1, false), values));
  }
  for (int k = 0; k < 2; ++k) {
    columns.push_back(indicator(numbered("non_steady_state_outlier", k, false), points,
                                static_cast<std::size_t>(k)));
  }
  for (std::size_t k = 0; k < 6; ++k) addExpanded(columns, motionNames[k], motion[k], true);
  const std::vector<std::size_t> outliers = outlierPoints(fd);
  for (std::size_t k = 0; k < outliers.size(); ++k) {
    columns.push_back(
        indicator(numbered("motion_outlier", static_cast<int>(k), false), points, outliers[k]));
  }
  return columns;
}

void appendShortest(std::string& out, double value, bool single) {
  char text[64];
  const auto result = single ? std::to_chars(text, text + sizeof text, static_cast<float>(value))
                             : std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
  // Whole numbers keep a decimal, as the table libraries write floating-point columns.
  if (std::string_view(text, result.ptr).find_first_of(".en") == std::string_view::npos)
    out += ".0";
}

std::string tsvText(const std::vector<Column>& columns, std::size_t points) {
  std::string out;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (c > 0) out += '\t';
    out += columns[c].name;
  }
  out += '\n';
  for (std::size_t t = 0; t < points; ++t) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) out += '\t';
      const auto& value = columns[c].values[t];
      if (value) {
        appendShortest(out, *value, columns[c].single);
      } else {
        out += "n/a";
      }
    }
    out += '\n';
  }
  return out;
}

void appendFormatted(std::string& out, double value, std::chars_format format, int precision) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, format, precision);
  out.append(text, result.ptr);
}

// Rows of `order` (indexes into `motion`), each value times its factor.
std::string columnsText(const std::vector<Series>& motion, const std::size_t (&order)[6],
                        const double (&factor)[6], ConfoundTextFormat format) {
  std::string out;
  if (format == ConfoundTextFormat::afni) {
    out += "# <matrix\n#  ni_type = \"6*double\"\n#  ni_dimen = \"" +
           std::to_string(motion[0].size()) +
           "\"\n#  ColumnLabels = \"roll ; pitch ; yaw ; dS ; dL ; dP\"\n# >\n";
  }
  for (std::size_t t = 0; t < motion[0].size(); ++t) {
    for (std::size_t k = 0; k < 6; ++k) {
      const double value = motion[order[k]][t] * factor[k];
      switch (format) {
        case ConfoundTextFormat::par:
          appendFormatted(out, value, std::chars_format::general, 6);
          out += "  ";
          break;
        case ConfoundTextFormat::rp:
          out += value < 0 ? "  " : "   ";
          appendFormatted(out, value, std::chars_format::scientific, 7);
          break;
        default:
          out += value < 0 ? " " : "  ";
          appendFormatted(out, value, std::chars_format::fixed, 4);
          break;
      }
    }
    out += '\n';
  }
  if (format == ConfoundTextFormat::afni) out += "# </matrix>\n";
  return out;
}

}  // namespace

std::string generateConfoundText(const ConfoundShape& shape, ConfoundTextFormat format) {
  if (shape.points < 0 || shape.aCompCor < 0 || shape.tCompCor < 0 || shape.cCompCor < 0 ||
      shape.wCompCor < 0)
    return {};
  Random random(shape.seed);
  const std::vector<Series> motion = headMotion(shape.points, random);
  constexpr double degrees = 180.0 / std::numbers::pi;
  switch (format) {
    case ConfoundTextFormat::tsv:
      return tsvText(fmriprepColumns(shape, motion, random),
                     static_cast<std::size_t>(shape.points));
    case ConfoundTextFormat::par:
      return columnsText(motion, {3, 4, 5, 0, 1, 2}, {1, 1, 1, 1, 1, 1}, format);
    case ConfoundTextFormat::rp:
      return columnsText(motion, {0, 1, 2, 3, 4, 5}, {1, 1, 1, 1, 1, 1}, format);
    case ConfoundTextFormat::afni:
      return columnsText(motion, {5, 3, 4, 2, 0, 1}, {degrees, degrees, degrees, 1, 1, 1}, format);
  }
  return {};
}

int confoundColumnCount(const ConfoundShape& shape) {
  Random random(shape.seed);
  const auto outliers = outlierPoints(framewiseDisplacement(headMotion(shape.points, random)));
  const int cosines =
      static_cast<int>(std::floor(2.0 * shape.points * shape.repetitionTime / highPassPeriod));
  return 18 + shape.tCompCor + shape.cCompCor + shape.wCompCor + shape.aCompCor + cosines + 2 + 24 +
         static_cast<int>(outliers.size());
}

}  // namespace tools
