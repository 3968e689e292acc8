// Saving and removing reminders in the local store. A save writes only the fields
// the reminder changed onto the file version it was read from, through a temporary
// file renamed into place; a failure leaves the old file as it was.

#include <cerrno>

#include "platform/local/ical/components_ical.h"
#include "platform/local/files/folder_lock.h"
#include "platform/local/files/item_file_writer.h"
#include "platform/local/index/item_cache.h"
#include "platform/local/ical/item_text_edit.h"
#include "platform/local/local_event_store.h"
#include "platform/local/files/random_uuid.h"
#include "platform/local/reminders/reminder_origin.h"
#include "platform/local/reminders/reminder_patch.h"
#include "platform/local/time/wall_clock.h"

namespace platform::local {

namespace {

constexpr std::uint32_t kEveryField = Reminder::kTitle | Reminder::kNotes | Reminder::kUrl | Reminder::kCompleted |
                                      Reminder::kPriority | Reminder::kStartDateComponents |
                                      Reminder::kDueDateComponents | Reminder::kAlarms | Reminder::kRecurrenceRules;

// The stored text a save starts from: the version this store read when the file is
// still that version, else the file as it is now.
Expected<FileContents, Error> current_text(const ItemCache& cache, const ItemName& name,
                                           const std::shared_ptr<const ItemOrigin>& origin) {
  std::string path = cache.file_path(name.folder, name.name);
  auto stamp = stamp_of(path);
  if (!stamp.ok()) {
    return Error{stamp.error().code == ENOENT ? "提醒事项已不存在：" + name.folder + "/" + name.name
                                              : "无法读取提醒事项：" + stamp.error().describe()};
  }
  auto stored = std::dynamic_pointer_cast<const StoredReminderOrigin>(origin);
  if (stored && stored->item && stored->item->stamp == stamp.value() && stored->item->folder == name.folder &&
      stored->item->name == name.name) {
    return FileContents{stored->item->text, stored->item->stamp};
  }
  auto read = read_file(path, kLargestItemBytes);
  if (!read.ok()) return Error{"无法读取提醒事项：" + read.error().describe()};
  return std::move(read.value());
}

// The reminder's item in the file as it is now: the one its identifier's UID names,
// or, for an identifier without one, the file's only item, else (the file took in
// more items since) the one of the reminder's UID.
const ItemPart* reminder_part(const ParsedItem& file, const ItemName& name, const Reminder& reminder) {
  std::optional<std::string> uid = name.uid;
  if (!uid && file.holds_several()) {
    const auto& external = reminder.calendar_item_external_identifier();
    if (!external) return nullptr;
    uid = uid_in_identifier(*external);
  }
  const ItemPart* part = file.part_named(uid);
  return part && part->kind == ICAL_VTODO_COMPONENT ? part : nullptr;
}

// The due and start dates among `changed` that name the time the reminder's stored
// DUE and DTSTART already name: handed back as they were read, they keep their lines
// as the file wrote them (a TZID that only the file defines, say).
std::uint32_t times_as_stored(const ReminderFields& fields, std::uint32_t changed, const ParsedItem& file,
                              const ItemPart& part) {
  constexpr std::uint32_t kTimes = Reminder::kDueDateComponents | Reminder::kStartDateComponents;
  if (!(changed & kTimes)) return 0;
  icalcomponent* todo = part.main();
  auto same = [&](icalproperty_kind kind, const std::optional<DateComponents>& wanted) {
    icalproperty* property = icalcomponent_get_first_property(todo, kind);
    auto read = property ? components_of_property(property, file.vcalendar()) : std::nullopt;
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

Expected<Done, Error> LocalEventStore::check_writable(const std::string& folder) {
  const Collection* collection = collection_named(folder);
  if (!collection) return Error{"找不到提醒事项列表：" + folder};
  // The permission bits are the rule, also for a process that could write past them.
  if (!folder_allows_modifications(root_ + "/" + folder)) {
    return Error{"提醒事项列表「" + collection->calendar->title + "」是只读的，不能修改。"};
  }
  return Done{};
}

std::optional<Error> LocalEventStore::save_reminder(Reminder& reminder) {
  const ReminderFields& fields = reminder.fields();
  if (!fields.calendar) return Error{"提醒事项没有所属列表。"};
  const std::string& target_folder = fields.calendar->identifier;
  if (auto writable = check_writable(target_folder); !writable.ok()) return writable.error();
  Date now = wall_clock_date();

  std::optional<ItemName> source;  // the file an existing reminder lives in
  std::string base_text;
  std::optional<mode_t> mode;
  std::uint32_t changed = reminder.changed_fields();
  std::string name;
  std::optional<FolderLock> lock;  // held from reading the current version until the new one is in place
  if (reminder.is_new()) {
    const Collection* collection = &with_components(*collection_named(target_folder));
    if (!collection->serves_reminders) return Error{"列表「" + collection->calendar->title + "」不能存放提醒事项。"};
    name = random_uuid();
    base_text = new_reminder_text(name, now);
    changed = kEveryField;
  } else {
    source = split_item_identifier(reminder.calendar_item_identifier());
    if (!source) return Error{"提醒事项已不存在：" + reminder.calendar_item_identifier()};
    if (source->folder != target_folder) {
      if (auto writable = check_writable(source->folder); !writable.ok()) return writable.error();
    }
    lock.emplace(root_ + "/" + source->folder);
    auto current = current_text(items_, *source, reminder.origin());
    if (!current.ok()) return current.error();
    base_text = std::move(current.value().bytes);
    mode = current.value().stamp.mode;
    name = source->name;
  }

  // Of a file holding several items only the reminder's own components change: its
  // newest revision is written to, older revisions of it go, the rest stays.
  std::size_t position = 0;
  std::vector<std::size_t> stale;
  std::size_t items_before = 1;
  std::optional<std::string> uid;  // the UID of the item written to, as its identifier shows it
  bool several_before = false;
  std::optional<std::size_t> todos_read;  // the file's VTODOs as libical read them
  if (source) {
    auto base = parse_item_text(base_text);
    if (!base) return Error{"无法识别提醒事项文件的内容：" + reminder.calendar_item_identifier()};
    const ItemPart* part = reminder_part(*base, *source, reminder);
    if (!part) return Error{"提醒事项已不存在：" + reminder.calendar_item_identifier()};
    position = part->main_position();
    changed &= ~times_as_stored(fields, changed, *base, *part);
    if (part->master) {
      for (const PartComponent& old : part->stale) stale.push_back(old.position);
    }
    items_before = base->parts.size();
    several_before = base->holds_several();
    uid = uid_in_identifier(part->uid);
    if (several_before && source->folder != target_folder) {
      return Error{"无法移动提醒事项：它所在的文件还存有其他项目。"};
    }
    todos_read = base->todo_count();
  }

  auto edit = ItemTextEdit::open(std::move(base_text), "VTODO", kProductId, position);
  if (!edit || (todos_read && edit->component_count() != *todos_read)) {
    return Error{"无法识别提醒事项文件的内容：" + reminder.calendar_item_identifier()};
  }
  for (std::size_t old : stale) edit->remove_component(old);
  auto patched = patch_reminder(std::move(*edit), fields, changed, now);
  if (!patched.ok()) return patched.error();
  if (patched.value().size() > kLargestItemBytes) return Error{"无法保存提醒事项：提醒事项文件将超过 16 MiB 的上限。"};
  // What is written must read back as a reminder, with every other item of its file
  // still there, or the reminder would vanish from its list: the text is read
  // before it goes to disk.
  auto parsed = parse_item_text(std::move(patched.value()));
  const ItemPart* saved = nullptr;
  if (parsed && parsed->parts.size() == items_before) saved = parsed->part_named(several_before ? uid : std::nullopt);
  if (!saved || saved->kind != ICAL_VTODO_COMPONENT) return Error{"无法保存提醒事项：写入的内容无法读取。"};
  std::size_t saved_part = static_cast<std::size_t>(saved - parsed->parts.data());

  bool moves = source && source->folder != target_folder;
  WriteMode how = source && !moves ? WriteMode::replace : WriteMode::create;
  auto written = write_item_file(root_ + "/" + target_folder, name + ".ics", parsed->text, mode, how);
  if (!written.ok()) return Error{"无法保存提醒事项：" + written.error().describe()};
  remove_stale_temporary_files(root_ + "/" + target_folder);
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
  const ItemPart& part = item->parts[saved_part];
  std::string identifier = item->identifier_of(part);
  reminders_.erase(identifier);
  auto origin = std::make_shared<StoredReminderOrigin>();
  origin->item = item;
  const char* saved_uid = icalcomponent_get_uid(part.main());
  reminder.mark_saved(identifier, saved_uid ? std::optional<std::string>(saved_uid) : std::nullopt, std::move(origin));
  return std::nullopt;
}

std::optional<Error> LocalEventStore::remove_reminder(const Reminder& reminder) {
  const std::string& identifier = reminder.calendar_item_identifier();
  auto name = split_item_identifier(identifier);
  if (!name) return Error{"提醒事项已不存在：" + identifier};
  if (auto writable = check_writable(name->folder); !writable.ok()) return writable.error();
  FolderLock lock(root_ + "/" + name->folder);
  std::string path = items_.file_path(name->folder, name->name);
  auto current = read_file(path, kLargestItemBytes);
  // A file that is already gone is what removal wants.
  if (!current.ok() && current.error().code == ENOENT) {
    items_.forget(name->folder, name->name);
    reminders_.erase(identifier);
    return std::nullopt;
  }
  std::optional<ParsedItem> file;
  if (current.ok()) file = parse_item_text(current.value().bytes);
  if (file && file->holds_several()) {
    // Only the reminder's components leave the file; the other items stay as they were.
    const ItemPart* part = reminder_part(*file, *name, reminder);
    if (!part) return std::nullopt;  // no longer in the file
    auto edit = ItemTextEdit::open(current.value().bytes, "VTODO", kProductId, part->main_position());
    if (!edit || edit->component_count() != file->todo_count()) return Error{"无法识别提醒事项文件的内容：" + identifier};
    if (part->master) edit->remove_component(part->master->position);
    for (const PartComponent& c : part->stale) edit->remove_component(c.position);
    for (const PartComponent& c : part->overrides) edit->remove_component(c.position);
    auto rest = parse_item_text(edit->finish());
    if (!rest || rest->parts.size() + 1 != file->parts.size()) return Error{"无法删除提醒事项：写入的内容无法读取。"};
    auto written = write_item_file(root_ + "/" + name->folder, name->name + ".ics", rest->text, current.value().stamp.mode,
                                   WriteMode::replace);
    if (!written.ok()) return Error{"无法删除提醒事项：" + written.error().describe()};
    rest->folder = name->folder;
    rest->name = name->name;
    rest->stamp = written.value();
    items_.remember(std::make_shared<const ParsedItem>(std::move(*rest)));
    reminders_.erase(identifier);
    return std::nullopt;
  }
  // A file of one item is named without a UID: one named with a UID whose file now
  // holds another item was removed already.
  if (name->uid && file && !file->part_named(name->uid)) return std::nullopt;
  if (name->uid && !file) return Error{"无法识别提醒事项文件的内容：" + identifier};
  auto removed = remove_file(path);
  if (!removed.ok() && removed.error().code != ENOENT) return Error{"无法删除提醒事项：" + removed.error().describe()};
  sync_directory(root_ + "/" + name->folder);
  remove_stale_temporary_files(root_ + "/" + name->folder);
  items_.forget(name->folder, name->name);
  reminders_.erase(identifier);
  return std::nullopt;
}

}  // namespace platform::local
