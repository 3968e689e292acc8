// Saving and removing reminders in the local store. A save writes only the fields
// the reminder changed onto the file version it was read from, through a temporary
// file renamed into place; a failure leaves the old file as it was.

#include <cerrno>
#include <chrono>

#include "platform/local/components_ical.h"
#include "platform/local/folder_lock.h"
#include "platform/local/item_file_writer.h"
#include "platform/local/item_cache.h"
#include "platform/local/local_event_store.h"
#include "platform/local/random_uuid.h"
#include "platform/local/reminder_origin.h"
#include "platform/local/reminder_patch.h"

namespace platform::local {

namespace {

constexpr std::uint32_t kEveryField = Reminder::kTitle | Reminder::kNotes | Reminder::kUrl | Reminder::kCompleted |
                                      Reminder::kPriority | Reminder::kStartDateComponents |
                                      Reminder::kDueDateComponents | Reminder::kAlarms | Reminder::kRecurrenceRules;

Date wall_clock_now() {
  return Date{std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count()};
}

// The stored text a save starts from: the version this store read when the file is
// still that version, else the file as it is now.
std::optional<FileContents> current_text(const ItemCache& cache, const ItemName& name,
                                         const std::shared_ptr<const ItemOrigin>& origin, std::string& error) {
  std::string path = cache.file_path(name.folder, name.name);
  auto stamp = stamp_of(path);
  if (!stamp.ok()) {
    error = stamp.error().code == ENOENT ? "提醒事项已不存在：" + name.folder + "/" + name.name
                                         : "无法读取提醒事项：" + stamp.error().describe();
    return std::nullopt;
  }
  auto stored = std::dynamic_pointer_cast<const StoredReminderOrigin>(origin);
  if (stored && stored->item && stored->item->stamp == stamp.value() && stored->item->folder == name.folder &&
      stored->item->name == name.name) {
    return FileContents{stored->item->text, stored->item->stamp};
  }
  auto read = read_file(path, kLargestItemBytes);
  if (!read.ok()) {
    error = "无法读取提醒事项：" + read.error().describe();
    return std::nullopt;
  }
  return std::move(read.value());
}

// The due and start dates among `changed` that name the time the stored version's
// DUE and DTSTART already name: handed back as they were read, they keep their lines
// as the file wrote them (a TZID that only the file defines, say).
std::uint32_t times_as_stored(const ReminderFields& fields, std::uint32_t changed,
                              const std::shared_ptr<const ItemOrigin>& origin, const FileContents& current) {
  constexpr std::uint32_t kTimes = Reminder::kDueDateComponents | Reminder::kStartDateComponents;
  if (!(changed & kTimes)) return 0;
  auto stored = std::dynamic_pointer_cast<const StoredReminderOrigin>(origin);
  ParsedItemRef item;
  if (stored && stored->item && stored->item->stamp == current.stamp) {
    item = with_tree(stored->item);
  } else if (auto parsed = parse_item_text(current.bytes)) {
    item = std::make_shared<const ParsedItem>(std::move(*parsed));
  }
  if (!item || item->kind != ICAL_VTODO_COMPONENT) return 0;
  // Only the reminder's own VTODO may say what its file holds.
  const char* uid = icalcomponent_get_uid(item->main);
  if (fields.calendar_item_external_identifier != (uid ? std::optional<std::string>(uid) : std::nullopt)) return 0;
  auto same = [&](icalproperty_kind kind, const std::optional<DateComponents>& wanted) {
    icalproperty* property = icalcomponent_get_first_property(item->main, kind);
    auto read = property ? components_of_property(property, item->vcalendar()) : std::nullopt;
    return wanted && read && names_same_time(*wanted, *read);
  };
  std::uint32_t kept = 0;
  if ((changed & Reminder::kDueDateComponents) && same(ICAL_DUE_PROPERTY, fields.due_date_components)) {
    kept |= Reminder::kDueDateComponents;
  }
  if ((changed & Reminder::kStartDateComponents) && same(ICAL_DTSTART_PROPERTY, fields.start_date_components)) {
    kept |= Reminder::kStartDateComponents;
  }
  return kept;
}

}  // namespace

Reminder LocalEventStore::new_reminder() { return Reminder(ReminderFields{}, nullptr, true); }

std::optional<Error> LocalEventStore::check_writable(const std::string& folder) {
  const Collection* collection = collection_named(folder);
  if (!collection) return Error{"找不到提醒事项列表：" + folder};
  // The permission bits are the rule, also for a process that could write past them.
  if (!folder_allows_modifications(root_ + "/" + folder)) {
    return Error{"提醒事项列表「" + collection->calendar->title + "」是只读的，不能修改。"};
  }
  return std::nullopt;
}

std::optional<Error> LocalEventStore::save_reminder(Reminder& reminder) {
  // What an earlier fetch saw is no longer the store's state once anything is written.
  last_fetch_.reset();
  const ReminderFields& fields = reminder.fields();
  if (!fields.calendar) return Error{"提醒事项没有所属列表。"};
  const std::string& target_folder = fields.calendar->identifier;
  if (auto refused = check_writable(target_folder)) return refused;
  Date now = wall_clock_now();

  std::optional<ItemName> source;  // the file an existing reminder lives in
  std::string base_text;
  std::optional<mode_t> mode;
  std::uint32_t changed = reminder.changed_fields();
  std::string name;
  std::optional<FolderLock> lock;  // held from reading the current version until the new one is in place
  if (reminder.is_new()) {
    const Collection* collection = collection_named(target_folder);
    if (!collection->serves_reminders) return Error{"列表「" + collection->calendar->title + "」不能存放提醒事项。"};
    name = random_uuid();
    base_text = new_reminder_text(name, now);
    changed = kEveryField;
  } else {
    source = split_item_identifier(reminder.calendar_item_identifier());
    if (!source) return Error{"提醒事项已不存在：" + reminder.calendar_item_identifier()};
    if (source->folder != target_folder) {
      if (auto refused = check_writable(source->folder)) return refused;
    }
    lock.emplace(root_ + "/" + source->folder);
    std::string error;
    auto current = current_text(items_, *source, reminder.origin(), error);
    if (!current) return Error{error};
    changed &= ~times_as_stored(fields, changed, reminder.origin(), *current);
    base_text = std::move(current->bytes);
    mode = current->stamp.mode;
    name = source->name;
  }

  auto edit = ItemTextEdit::open(std::move(base_text), "VTODO", kProductId);
  if (!edit) return Error{"无法识别提醒事项文件的内容：" + reminder.calendar_item_identifier()};
  PatchedText patched = patch_reminder(std::move(*edit), fields, changed, now);
  if (!patched.text) return Error{patched.error};
  if (patched.text->size() > kLargestItemBytes) return Error{"无法保存提醒事项：提醒事项文件将超过 16 MiB 的上限。"};
  // What is written must read back as a reminder, or the reminder would vanish
  // from its list: the text is read before it goes to disk.
  auto parsed = parse_item_text(std::move(*patched.text));
  if (!parsed || parsed->kind != ICAL_VTODO_COMPONENT) return Error{"无法保存提醒事项：写入的内容无法读取。"};

  bool moves = source && source->folder != target_folder;
  WriteMode how = source && !moves ? WriteMode::replace : WriteMode::create;
  auto written = write_item_file(root_ + "/" + target_folder, name + ".ics", parsed->text, mode, how);
  if (!written.ok()) return Error{"无法保存提醒事项：" + written.error().describe()};
  if (moves) {
    // The copy in the new list is complete; only then does the old file go.
    remove_file(items_.file_path(source->folder, source->name));
    items_.forget(source->folder, source->name);
    reminders_.erase(reminder.calendar_item_identifier());
  }

  parsed->folder = target_folder;
  parsed->name = name;
  parsed->stamp = written.value();
  auto item = std::make_shared<const ParsedItem>(std::move(*parsed));
  items_.remember(item);
  reminders_.erase(item->identifier());
  auto origin = std::make_shared<StoredReminderOrigin>();
  origin->item = item;
  const char* uid = icalcomponent_get_uid(item->main);
  reminder.mark_saved(item->identifier(), uid ? std::optional<std::string>(uid) : std::nullopt, std::move(origin));
  return std::nullopt;
}

std::optional<Error> LocalEventStore::remove_reminder(const Reminder& reminder) {
  last_fetch_.reset();
  auto name = split_item_identifier(reminder.calendar_item_identifier());
  if (!name) return Error{"提醒事项已不存在：" + reminder.calendar_item_identifier()};
  if (auto refused = check_writable(name->folder)) return refused;
  FolderLock lock(root_ + "/" + name->folder);
  auto removed = remove_file(items_.file_path(name->folder, name->name));
  // A file that is already gone is what removal wants.
  if (removed && removed->code != ENOENT) return Error{"无法删除提醒事项：" + removed->describe()};
  sync_directory(root_ + "/" + name->folder);
  items_.forget(name->folder, name->name);
  reminders_.erase(reminder.calendar_item_identifier());
  return std::nullopt;
}

}  // namespace platform::local
