#include "calendar/reminders/reminder_commands.h"

#include <algorithm>
#include <optional>
#include <string>

#include "calendar/access/access.h"
#include "calendar/command/json_array_text.h"
#include "calendar/reminders/reminder_fetch.h"
#include "calendar/reminders/reminder_lists.h"
#include "calendar/reminders/reminder_record.h"
#include "calendar/reminders/reminder_request.h"
#include "calendar/reminders/reminder_save.h"
#include "calendar/reminders/reminder_target.h"

namespace bridge {
namespace {

using platform::EntityType;
using bridge::Expected;

constexpr const char* kUnsupportedFeatures = "Apple 公开接口不支持原生子任务、标签或智能清单写入";
constexpr const char* kUnknownOperation = "未知的提醒事项操作";
// Another bridge process is still writing, or the user has no private folder for
// the lock: going on unlocked could make a task's reminder twice.
constexpr const char* kWriteLockUnavailable = "无法取得提醒事项的写入锁，请稍后重试。";

Json status_reply(platform::AuthorizationStatus status) {
  Json reply = permission_report(status);
  reply["capabilities"] = {{"recurrence", true}, {"smartLists", false}, {"subtasks", false}, {"tags", false}};
  return reply;
}

// Each record is written out as soon as its reminder is looked up (on a second
// thread while the next ones are), so the list of every reminder is never held as
// values and as text at once. A record that cannot be written fails the reply only
// after the lookups, which fail first.
CommandOutcome read_reply(platform::Platform& platform, platform::EventStore& store,
                          const std::vector<platform::CalendarRef>& lists) {
  std::optional<JsonArrayText> records;
  Expected<Done> visited =
      reminders::for_each_fetched_reminder(platform, store, lists, [&](platform::Reminder&& reminder, std::size_t count) {
        if (!records) records.emplace(count);
        reminders::refill_record(platform, reminder, records->next());
      });
  if (!visited.ok()) return std::move(visited.error());
  if (!records) return SerializedReply{"[]"};
  Expected<std::string> text = records->finish();
  if (!text.ok()) return std::move(text.error());
  return SerializedReply{std::move(text.value())};
}

}  // namespace

CommandOutcome run_reminders_command(platform::Platform& platform, std::string_view sub_command,
                                     const Json& params) {
  if (sub_command == "status") return status_reply(platform.authorization_status(EntityType::reminder));
  const reminders::ReminderRequest request = reminders::read_reminder_request(params);
  // Sub-tasks, tags and smart lists have no public write interface: refused
  // whatever the value, before permission is even looked at.
  if (sub_command == "save" && request.names_unsupported_feature) {
    return Failure{kUnsupportedFeatures};
  }

  std::unique_ptr<platform::EventStore> store = platform.open_event_store();
  if (sub_command == "connect" && platform.authorization_status(EntityType::reminder) != platform::AuthorizationStatus::fullAccess) {
    auto asked = request_access(platform, *store, EntityType::reminder);
    if (!asked.ok()) return Failure{asked.error().message};
  }
  if (auto gate = check_access(platform, EntityType::reminder); !gate.ok()) {
    return Failure{gate.error().message};
  }

  std::vector<platform::CalendarRef> lists = store->calendars_for_entity_type(EntityType::reminder);
  if (sub_command == "connect") return reminders::connect_reply(lists);

  Expected<std::vector<platform::CalendarRef>> selected = reminders::select_lists(request.list_ids, lists);
  if (!selected.ok()) return std::move(selected.error());
  const auto& selected_lists = selected.value();

  // "read" shows every list; the writes look only where the application synchronises.
  if (sub_command == "read") return read_reply(platform, *store, lists);
  // Another process saving the same task between this lookup and this save would
  // make a second reminder with its marker: writes hold the lock through both.
  std::unique_ptr<platform::HeldLock> write_lock;
  if (sub_command == "save" || sub_command == "delete") {
    write_lock = platform.hold_reminder_write_lock();
    if (!write_lock) return Failure{kWriteLockUnavailable};
  }
  Expected<std::vector<platform::Reminder>> fetched = reminders::fetch_reminders(platform, *store, selected_lists);
  if (!fetched.ok()) return std::move(fetched.error());
  const auto& fetched_reminders = fetched.value();

  Expected<const platform::Reminder*> target = reminders::find_target_reminder(request, fetched_reminders);
  if (!target.ok()) return std::move(target.error());
  const platform::Reminder* found = target.value();
  if (sub_command == "delete") return reminders::delete_reminder(*store, found);
  if (sub_command == "save") return reminders::save_reminder(platform, *store, request, selected_lists, found);
  return Failure{kUnknownOperation};
}

}  // namespace bridge
