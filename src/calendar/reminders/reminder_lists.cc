#include "calendar/reminders/reminder_lists.h"

#include <algorithm>

namespace bridge::reminders {
namespace {

constexpr const char* kListsUnavailable = "所选提醒事项列表已不可用，请重新选择同步列表。";
constexpr const char* kNoListChosen = "请选择提醒事项列表。";

}  // namespace

Json connect_reply(const std::vector<platform::CalendarRef>& lists) {
  Json entries = Json::array();
  for (const platform::CalendarRef& list : lists) {
    entries.push_back({{"id", list->identifier},
                       {"title", list->title},
                       {"writable", list->allows_content_modifications},
                       {"source", list->source ? Json(list->source->title) : Json(nullptr)}});
  }
  return Json{{"lists", std::move(entries)}};
}

Expected<std::vector<platform::CalendarRef>> select_lists(const std::vector<std::string>& ids,
                                                          const std::vector<platform::CalendarRef>& lists) {
  std::vector<platform::CalendarRef> selected;
  for (const platform::CalendarRef& list : lists) {
    if (std::find(ids.begin(), ids.end(), list->identifier) != ids.end()) selected.push_back(list);
  }
  if (selected.size() != ids.size()) return Failure{kListsUnavailable};
  if (ids.empty()) return Failure{kNoListChosen};
  return selected;
}

}  // namespace bridge::reminders
