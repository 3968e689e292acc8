#include "calendar/reminders/reminder_lists.h"

#include <algorithm>
#include <string_view>

#include "calendar/command/request_params.h"

namespace bridge::reminders {
namespace {

constexpr const char* kListsUnavailable = "所选提醒事项列表已不可用，请重新选择同步列表。";
constexpr const char* kNoListChosen = "请选择提醒事项列表。";

// The texts of "listIds"; empty when it is missing or not an array of texts only.
std::vector<std::string_view> requested_list_ids(const Json& params) {
  const Json* value = find_param(params, "listIds");
  std::vector<std::string_view> ids;
  if (value == nullptr || !value->is_array()) return ids;
  for (const Json& element : *value) {
    if (!element.is_string()) return {};
    ids.push_back(element.get_ref<const std::string&>());
  }
  return ids;
}

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

Expected<std::vector<platform::CalendarRef>> select_lists(const Json& params,
                                                          const std::vector<platform::CalendarRef>& lists) {
  std::vector<std::string_view> ids = requested_list_ids(params);
  std::vector<platform::CalendarRef> selected;
  for (const platform::CalendarRef& list : lists) {
    if (std::find(ids.begin(), ids.end(), list->identifier) != ids.end()) selected.push_back(list);
  }
  if (selected.size() != ids.size()) return Failure{kListsUnavailable};
  if (ids.empty()) return Failure{kNoListChosen};
  return selected;
}

}  // namespace bridge::reminders
