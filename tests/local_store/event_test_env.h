#pragma once

// Sets the machine's time zone and locale variables for one test and puts them back
// afterwards; the zone and calendar cached by the store are read again both times.

#include <chrono>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/local/time/zone_time.h"

namespace platform::local::testing {

// Seconds since 1970 of a UTC date and time, computed apart from the code under test.
inline double utc(int y, unsigned m, unsigned d, int h = 0, int mi = 0, int s = 0) {
  using namespace std::chrono;
  return static_cast<double>((sys_days(year(y) / month(m) / day(d)) + hours(h) + minutes(mi) + seconds(s))
                                 .time_since_epoch()
                                 .count());
}

class MachineSettings {
 public:
  MachineSettings() {
    for (const char* name : {"TZ", "LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  ~MachineSettings() {
    for (const auto& [name, value] : saved_) apply(name, value);
    reload_machine_settings();
  }
  MachineSettings(const MachineSettings&) = delete;
  MachineSettings& operator=(const MachineSettings&) = delete;

  // Sets (or, with nothing, unsets) a variable and makes the store read it again.
  void set(const char* name, std::optional<std::string> value) {
    apply(name, value);
    reload_machine_settings();
  }
  void zone(std::optional<std::string> tz) { set("TZ", std::move(tz)); }
  // A locale named by LANG alone.
  void locale(std::optional<std::string> lang) {
    apply("LC_ALL", std::nullopt);
    apply("LC_MESSAGES", std::nullopt);
    set("LANG", std::move(lang));
  }

 private:
  static void apply(const char* name, const std::optional<std::string>& value) {
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

}  // namespace platform::local::testing
