#include "platform/eventkit/calendar_table.h"

#include <memory>

#include "platform/eventkit/calendar_color.h"
#include "platform/eventkit/nil_guard.h"
#include "platform/eventkit/ns_text.h"

namespace platform::eventkit {

CalendarRef CalendarTable::ref_for(EKCalendar* calendar) {
  std::string identifier = text_of(required(calendar.calendarIdentifier, "calendarIdentifier"));
  auto found = by_identifier_.find(identifier);
  if (found != by_identifier_.end()) return found->second.ref;

  auto read = std::make_shared<Calendar>();
  read->identifier = identifier;
  // A calendar without a title or colour is still listed: an empty title, no colour.
  read->title = optional_text_of(calendar.title).value_or(std::string());
  read->color = color_of(calendar.color);
  if (EKSource* source = calendar.source) read->source = Source{text_of(source.title)};
  read->allows_content_modifications = calendar.allowsContentModifications;

  CalendarRef ref = std::move(read);
  by_identifier_.emplace(std::move(identifier), Entry{ref, calendar});
  by_ref_.emplace(ref.get(), calendar);
  return ref;
}

EKCalendar* _Nullable CalendarTable::object_for(const CalendarRef& ref) const {
  if (!ref) return nil;
  auto by_pointer = by_ref_.find(ref.get());
  if (by_pointer != by_ref_.end()) return by_pointer->second;
  auto by_identifier = by_identifier_.find(ref->identifier);
  return by_identifier == by_identifier_.end() ? nil : by_identifier->second.object;
}

}  // namespace platform::eventkit
