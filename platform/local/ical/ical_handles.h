#pragma once

// Ownership of libical objects.

#include <libical/ical.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace platform::local {

struct IcalComponentFree {
  void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using IcalComponentPtr = std::unique_ptr<icalcomponent, IcalComponentFree>;

struct IcalPropertyFree {
  void operator()(icalproperty* property) const { icalproperty_free(property); }
};
using IcalPropertyPtr = std::unique_ptr<icalproperty, IcalPropertyFree>;

struct IcalIteratorFree {
  void operator()(icalrecur_iterator* iterator) const { icalrecur_iterator_free(iterator); }
};
using IcalIteratorPtr = std::unique_ptr<icalrecur_iterator, IcalIteratorFree>;

// Text that libical's *_r functions hand over to the caller.
inline std::string take_ical_string(char* text) {
  if (!text) return {};
  std::string out(text);
  std::free(text);
  return out;
}

}  // namespace platform::local
