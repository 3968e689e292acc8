// The local store's read and write round trip on one item file: the input is
// written as the file of an event calendar and of a reminder list in a temporary
// store, read through the store (query, fetch, lookup), a reminder's title and
// priority are changed and saved, and the result is read again. A saved file must
// still parse and be found again.

#include <libical/ical.h>
#include <unistd.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <variant>

#include "platform/local/local_platform.h"

namespace {

namespace fs = std::filesystem;
using platform::Date;
using platform::EntityType;

constexpr double kYear2025 = 1735689600;  // 2025-01-01T00:00:00Z

void check(bool holds) {
  if (!holds) std::abort();
}

void write_file(const fs::path& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A store root made once per process and emptied for every input.
const fs::path& store_root() {
  static const fs::path root = [] {
    char pattern[] = "/tmp/store-item-fuzz-XXXXXX";
    check(mkdtemp(pattern) != nullptr);
    setenv("TZ", "UTC", 1);
    return fs::path(pattern) / "store";
  }();
  return root;
}

void make_collection(const fs::path& folder, std::string_view components) {
  fs::create_directories(folder);
  write_file(folder / "displayname", folder.filename().string());
  write_file(folder / "components", components);
}

// Waits for the fetch's answer on the store's own thread.
void fetch_all(platform::EventStore& store, const std::vector<platform::CalendarRef>& lists) {
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool answered = false;
  };
  auto shared = std::make_shared<Shared>();
  std::vector<std::string> fetched;
  store.fetch_reminders(lists, [shared, &fetched](std::optional<std::vector<std::string>> identifiers) {
    std::lock_guard lock(shared->mutex);
    if (identifiers) fetched = std::move(*identifiers);
    shared->answered = true;
    shared->changed.notify_all();
  });
  std::unique_lock lock(shared->mutex);
  shared->changed.wait(lock, [&] { return shared->answered; });
  for (const std::string& identifier : fetched) (void)store.calendar_item_with_identifier(identifier);
}

void read_through(platform::local::LocalPlatform& platform) {
  auto store = platform.open_event_store();
  auto calendars = store->calendars_for_entity_type(EntityType::event);
  (void)store->events_matching(Date{kYear2025}, Date{kYear2025 + 366 * 86400.0}, calendars);
  fetch_all(*store, store->calendars_for_entity_type(EntityType::reminder));
  (void)store->calendar_item_with_identifier("events/item");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const fs::path& root = store_root();
  fs::remove_all(root);
  make_collection(root / "events", "VEVENT");
  make_collection(root / "todo", "VTODO");
  write_file(root / "events" / "item.ics", text);
  write_file(root / "todo" / "item.ics", text);

  platform::local::LocalPlatform platform(root.string());
  read_through(platform);

  auto store = platform.open_event_store();
  auto item = store->calendar_item_with_identifier("todo/item");
  if (!item || !std::holds_alternative<platform::Reminder>(*item)) return 0;
  auto& reminder = std::get<platform::Reminder>(*item);
  reminder.set_title(reminder.title() + " (changed)");
  reminder.set_priority(reminder.priority() == 1 ? 5 : 1);
  if (!store->save_reminder(reminder).ok()) return 0;  // a refused save is an answer, not a fault

  const std::string saved = read_file(root / "todo" / "item.ics");
  icalcomponent* parsed = icalparser_parse_string(saved.c_str());
  check(parsed != nullptr);
  icalcomponent_free(parsed);
  read_through(platform);
  auto again = platform.open_event_store()->calendar_item_with_identifier("todo/item");
  check(again && std::holds_alternative<platform::Reminder>(*again));
  return 0;
}
