// Saving and removing reminders in the local store. A save writes only the fields
// the reminder changed onto the file version it was read from, or onto the version
// another program put in its place since; a failure leaves the file as it was.

#include <cerrno>

#include "platform/local/ical/components_ical.h"
#include "platform/local/files/item_file_writer.h"
#include "platform/local/index/item_cache.h"
#include "platform/local/ical/item_text_edit.h"
#include "platform/local/local_event_store.h"
#include "platform/local/files/random_uuid.h"
#include "platform/local/reminders/reminder_origin.h"
#include "platform/local/reminders/reminder_patch.h"
#include "platform/local/reminders/reminder_reader.h"
#include "platform/local/time/wall_clock.h"

namespace platform::local {

namespace {

constexpr std::string_view kSaveFailed = "无法保存提醒事项：";

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
  return file.part_named(uid, ICAL_VTODO_COMPONENT);
}

// The due and start dates among `changed` that name the time the reminder's stored
// DUE and DTSTART already name: handed back as they were read, they keep their lines
// as the file wrote them (a TZID that only the file defines, say).
std::uint32_t times_as_stored(const ReminderFields& fields, std::uint32_t changed, const ItemPart& part) {
  constexpr std::uint32_t kTimes = Reminder::kDueDateComponents | Reminder::kStartDateComponents;
  if (!(changed & kTimes)) return 0;
  icalcomponent* todo = part.main();
  auto same = [&](icalproperty_kind kind, const std::optional<DateComponents>& wanted) {
    icalproperty* property = icalcomponent_get_first_property(todo, kind);
    auto read = property ? components_of_property(property, vcalendar_of(todo)) : std::nullopt;
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

// A reminder's change made on one version of the text it is saved to.
struct EditedFile {
  ParsedItem file;  // the new text, parsed
  std::size_t saved_part = 0;
};

// Makes the reminder's `changed` fields on `text`: the file it was read from
// (`source`), or for a new reminder the text of a new file. A reminder without a
// UID gets `fresh_uid`.
Expected<EditedFile, Error> edit_reminder_text(std::string text, const std::optional<ItemName>& source,
                                               const Reminder& reminder, std::uint32_t changed,
                                               const std::string& fresh_uid, Date now) {
  const ReminderFields& fields = reminder.fields();
  // Of a file holding several items only the reminder's own components change: its
  // newest revision is written to, older revisions of it go, the rest stays.
  std::size_t position = 0;
  std::vector<std::size_t> stale;
  std::size_t items_before = 1;
  std::optional<std::string> key;  // how identifiers name the item written to
  bool several_before = false;
  bool needs_uid = false;
  std::optional<std::size_t> todos_read;  // the file's VTODOs as libical read them
  if (source) {
    auto base = parse_item_text(text);
    if (!base) return Error{"无法识别提醒事项文件的内容：" + reminder.calendar_item_identifier()};
    const ItemPart* part = reminder_part(*base, *source, reminder);
    if (!part) return Error{"提醒事项已不存在：" + reminder.calendar_item_identifier()};
    position = part->main_position();
    changed &= ~times_as_stored(fields, changed, *part);
    if (part->master) {
      for (const PartComponent& old : part->stale) stale.push_back(old.position);
    }
    items_before = base->parts.size();
    several_before = base->holds_several();
    needs_uid = part->uid.empty();
    key = needs_uid ? uid_in_identifier(fresh_uid) : part->key;
    if (several_before && source->folder != fields.calendar->identifier) {
      return Error{"无法移动提醒事项：它所在的文件还存有其他项目。"};
    }
    todos_read = base->count_of(ICAL_VTODO_COMPONENT);
  }

  auto edit = ItemTextEdit::open(std::move(text), "VTODO", kProductId, position);
  if (!edit || (todos_read && edit->component_count() != *todos_read)) {
    return Error{"无法识别提醒事项文件的内容：" + reminder.calendar_item_identifier()};
  }
  for (std::size_t old : stale) edit->remove_component(old);
  // Every item needs a UID to be named for certain once it is saved.
  if (needs_uid) edit->set_property("UID", {"UID:" + fresh_uid + "\r\n"});
  auto patched = patch_reminder(std::move(*edit), fields, changed, now);
  if (!patched.ok()) return patched.error();
  if (patched.value().size() > kLargestItemBytes) return Error{"无法保存提醒事项：提醒事项文件将超过 16 MiB 的上限。"};
  // What is written must read back as a reminder, with every other item of its file
  // still there, or the reminder would vanish from its list: the text is read
  // before it goes to disk.
  auto parsed = parse_item_text(std::move(patched.value()));
  const ItemPart* saved = nullptr;
  if (parsed && parsed->parts.size() == items_before) {
    saved = parsed->part_named(several_before ? key : std::nullopt, ICAL_VTODO_COMPONENT);
  }
  if (!saved) return Error{"无法保存提醒事项：写入的内容无法读取。"};
  std::size_t saved_part = static_cast<std::size_t>(saved - parsed->parts.data());
  return EditedFile{std::move(*parsed), saved_part};
}

// `text`, a file holding several items, without the reminder's components; the
// text as it is when the reminder is no longer in it.
Expected<ParsedItem, Error> text_without_item(const std::string& text, const ItemName& name, const Reminder& reminder) {
  const std::string& identifier = reminder.calendar_item_identifier();
  auto file = parse_item_text(text);
  if (!file) return Error{"无法识别提醒事项文件的内容：" + identifier};
  const ItemPart* part = reminder_part(*file, name, reminder);
  if (!part) return std::move(*file);
  auto edit = ItemTextEdit::open(text, "VTODO", kProductId, part->main_position());
  if (!edit || edit->component_count() != file->count_of(ICAL_VTODO_COMPONENT)) {
    return Error{"无法识别提醒事项文件的内容：" + identifier};
  }
  if (part->master) edit->remove_component(part->master->position);
  for (const PartComponent& c : part->stale) edit->remove_component(c.position);
  for (const PartComponent& c : part->overrides) edit->remove_component(c.position);
  auto rest = parse_item_text(edit->finish());
  if (!rest || rest->parts.size() + 1 != file->parts.size()) return Error{"无法删除提醒事项：写入的内容无法读取。"};
  return std::move(*rest);
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

Expected<Done, Error> LocalEventStore::save_reminder(Reminder& reminder) {
  const ReminderFields& fields = reminder.fields();
  if (!fields.calendar) return Error{"提醒事项没有所属列表。"};
  const std::string& target_folder = fields.calendar->identifier;
  if (auto writable = check_writable(target_folder); !writable.ok()) return writable.error();
  Date now = wall_clock_date();
  std::string fresh_uid = random_uuid();

  std::optional<EditedFile> edited;  // what the last edit made, which is what was written
  int edits = 0;                     // more than one: made on another program's version
  std::optional<FileStamp> written_stamp;
  std::string name;
  if (reminder.is_new()) {
    const Collection* collection = &with_components(*collection_named(target_folder));
    if (!collection->serves_reminders) return Error{"列表「" + collection->calendar->title + "」不能存放提醒事项。"};
    name = fresh_uid;
    auto made = edit_reminder_text(new_reminder_text(name, now), std::nullopt, reminder, kEveryField, fresh_uid, now);
    if (!made.ok()) return made.error();
    edited = std::move(made.value());
    auto written = create_item_file(root_ + "/" + target_folder, name + ".ics", edited->file.text, std::nullopt);
    if (!written.ok()) return Error{std::string(kSaveFailed) + written.error().describe()};
    written_stamp = written.value();
  } else {
    auto source = split_item_identifier(reminder.calendar_item_identifier());
    if (!source) return Error{"提醒事项已不存在：" + reminder.calendar_item_identifier()};
    if (source->folder != target_folder) {
      if (auto writable = check_writable(source->folder); !writable.ok()) return writable.error();
    }
    auto current = current_text(items_, *source, reminder.origin());
    if (!current.ok()) return current.error();
    name = source->name;
    auto edit = [&](const FileContents& version) -> Expected<std::string, Error> {
      auto made = edit_reminder_text(version.bytes, source, reminder, reminder.changed_fields(), fresh_uid, now);
      if (!made.ok()) return made.error();
      ++edits;
      edited = std::move(made.value());
      return edited->file.text;
    };
    if (source->folder == target_folder) {
      auto written = replace_item_file(root_ + "/" + target_folder, name + ".ics", std::move(current.value()), edit,
                                       kSaveFailed);
      if (!written.ok()) return written.error();
      written_stamp = written.value();
    } else {
      auto moved = move_reminder_file(*source, target_folder, std::move(current.value()), edit);
      if (!moved.ok()) return moved.error();
      written_stamp = moved.value();
      reminders_.erase(reminder.calendar_item_identifier());
    }
  }
  remove_stale_temporary_files(root_ + "/" + target_folder);

  ParsedItem& file = edited->file;
  file.folder = target_folder;
  file.name = name;
  file.stamp = *written_stamp;
  auto item = std::make_shared<const ParsedItem>(std::move(file));
  items_.remember(item);
  const ItemPart& part = item->parts[edited->saved_part];
  std::string identifier = item->identifier_of(part);
  reminders_.erase(identifier);
  auto origin = std::make_shared<StoredReminderOrigin>();
  origin->item = item;
  const char* saved_uid = icalcomponent_get_uid(part.main());
  reminder.mark_saved(identifier, saved_uid ? std::optional<std::string>(saved_uid) : std::nullopt, std::move(origin));
  // Fields the save left alone may hold another program's edit now: the reminder
  // shows what a later read gives.
  if (edits > 1) reminder = reminder_from_item(*item, part, item, fields.calendar);
  return Done{};
}

Expected<FileStamp, Error> LocalEventStore::move_reminder_file(const ItemName& source, const std::string& target_folder,
                                                               FileContents current, const Rewrite& edit) {
  std::string source_path = items_.file_path(source.folder, source.name);
  for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
    auto text = edit(current);
    if (!text.ok()) return text.error();
    std::string target_folder_path = root_ + "/" + target_folder;
    auto written = create_item_file(target_folder_path, source.name + ".ics", text.value(), current.stamp.mode);
    if (!written.ok()) return Error{std::string(kSaveFailed) + written.error().describe()};
    // The copy in the new list is complete; only then does the old file go, and only
    // the version the copy was made from.
    auto removed = remove_item_file(source_path, current.stamp, kSaveFailed);
    if (removed.ok() && removed.value()) {
      items_.forget(source.folder, source.name);
      return written.value();
    }
    remove_file(items_.file_path(target_folder, source.name));
    if (!removed.ok()) return removed.error();
    auto again = read_file(source_path, kLargestItemBytes);
    if (!again.ok()) return Error{std::string(kSaveFailed) + again.error().describe()};
    current = std::move(again.value());
  }
  return Error{std::string(kSaveFailed) + std::string(kKeepsChanging)};
}

Expected<Done, Error> LocalEventStore::remove_reminder(const Reminder& reminder) {
  const std::string& identifier = reminder.calendar_item_identifier();
  auto name = split_item_identifier(identifier);
  if (!name) return Error{"提醒事项已不存在：" + identifier};
  if (auto writable = check_writable(name->folder); !writable.ok()) return writable.error();
  constexpr std::string_view kRemoveFailed = "无法删除提醒事项：";
  std::string folder_path = root_ + "/" + name->folder;
  std::string path = items_.file_path(name->folder, name->name);
  auto forget = [&] {
    items_.forget(name->folder, name->name);
    reminders_.erase(identifier);
  };
  // Only a version this process read is removed or rewritten: when another program
  // puts its own in place meanwhile, that one is read and decided on again.
  for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
    auto current = read_file(path, kLargestItemBytes);
    // A file that is already gone is what removal wants.
    if (!current.ok() && current.error().code == ENOENT) {
      forget();
      return Done{};
    }
    if (!current.ok()) return Error{std::string(kRemoveFailed) + current.error().describe()};
    auto file = parse_item_text(current.value().bytes);
    // A file of one item is named without a UID; one named with a UID that the file
    // no longer holds was removed already.
    if (!file && name->uid) return Error{"无法识别提醒事项文件的内容：" + identifier};
    if (file && !reminder_part(*file, *name, reminder)) return Done{};
    if (file && file->holds_several()) {
      std::optional<ParsedItem> rest;
      auto without_item = [&](const FileContents& version) -> Expected<std::string, Error> {
        auto made = text_without_item(version.bytes, *name, reminder);
        if (!made.ok()) return made.error();
        rest = std::move(made.value());
        return rest->text;
      };
      auto written = replace_item_file(folder_path, name->name + ".ics", std::move(current.value()), without_item,
                                       kRemoveFailed);
      if (!written.ok()) return written.error();
      rest->folder = name->folder;
      rest->name = name->name;
      rest->stamp = written.value();
      items_.remember(std::make_shared<const ParsedItem>(std::move(*rest)));
      reminders_.erase(identifier);
      return Done{};
    }
    auto removed = remove_item_file(path, current.value().stamp, kRemoveFailed);
    if (!removed.ok()) return removed.error();
    if (removed.value()) {
      remove_stale_temporary_files(folder_path);
      forget();
      return Done{};
    }
  }
  return Error{std::string(kRemoveFailed) + std::string(kKeepsChanging)};
}

}  // namespace platform::local
