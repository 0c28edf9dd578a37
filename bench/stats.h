// Order statistics of a set of timings, for the benchmark reports.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace glyphary::bench {

struct Summary {
  double p10 = 0, median = 0, p90 = 0, min = 0, max = 0;
  size_t count = 0;
};

// Percentile by linear interpolation between the closest ranks.
inline double Percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  double rank = p * static_cast<double>(sorted.size() - 1);
  size_t low = static_cast<size_t>(std::floor(rank));
  size_t high = std::min(low + 1, sorted.size() - 1);
  double fraction = rank - static_cast<double>(low);
  return sorted[low] + (sorted[high] - sorted[low]) * fraction;
}

inline Summary Summarise(std::vector<double> values) {
  Summary s;
  std::sort(values.begin(), values.end());
  s.count = values.size();
  if (values.empty()) return s;
  s.p10 = Percentile(values, 0.10);
  s.median = Percentile(values, 0.50);
  s.p90 = Percentile(values, 0.90);
  s.min = values.front();
  s.max = values.back();
  return s;
}

// Prints the summary as the report script reads it: one "RESULT key=value"
// line each for the median, p10 and p90, in seconds times `scale`, named
// with `unit` ("us", "ms").
inline void PrintResult(const char* key, const Summary& s, double scale, const char* unit) {
  std::printf("RESULT %s_median_%s=%.1f\nRESULT %s_p10_%s=%.1f\nRESULT %s_p90_%s=%.1f\n", key,
              unit, s.median * scale, key, unit, s.p10 * scale, key, unit, s.p90 * scale);
}

}  // namespace glyphary::bench
