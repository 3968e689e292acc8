// The index's compact form of a file's events read from any bytes, as a damaged or
// foreign index row gives them: it reads or it does not, and what reads expands over
// a week without fault, is written back into a form that reads the same again, and
// the days its events reach leave out no window holding an occurrence.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/local/events/event_occurrences.h"
#include "platform/local/events/reach.h"
#include "platform/local/index/event_digest.h"

namespace {

constexpr double kYear2025 = 1735689600;  // 2025-01-01T00:00:00Z

void check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "event_digest_fuzz: %s\n", what);
  std::abort();
}

std::size_t occurrences(const platform::local::FileEvents& events, double start = kYear2025,
                        double end = kYear2025 + 7 * 86400) {
  platform::local::EventSource source{std::make_shared<platform::local::FileEvents>(events), "home/fuzz", nullptr};
  return platform::local::events_in_window({source}, platform::Date{start}, platform::Date{end}).size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto events = platform::local::events_from_digest(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!events) return 0;
  std::size_t found = occurrences(*events);
  auto written = platform::local::event_digest_of(*events);
  if (!written) return 0;
  auto again = platform::local::events_from_digest(*written);
  check(again.has_value() && occurrences(*again) == found, "a digest written back does not read the same");
  // The days the events reach leave out only windows without an occurrence.
  platform::local::Reach reach = platform::local::events_reach(*again);
  for (double start : {kYear2025, kYear2025 + 40 * 86400.0, kYear2025 - 400 * 86400.0}) {
    for (double days : {1.0, 7.0}) {
      if (!platform::local::reaches(reach, platform::local::days_of(platform::Date{start}, platform::Date{start + days * 86400}))) {
        check(occurrences(*again, start, start + days * 86400) == 0, "the reach leaves out a window with an occurrence");
      }
    }
  }
  return 0;
}
