// Exported calendars as texts: every cut-off copy of a file of several items reads
// or is turned down without harm.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "local_store/event_ics.h"
#include "local_store/event_test_env.h"
#include "local_store/exported_calendars.h"
#include "platform/local/ical/item_text_edit.h"
#include "platform/local/ical/parsed_item.h"
#include "platform/local/reminders/reminder_patch.h"
#include "platform/local/reminders/reminder_reader.h"

namespace {

using platform::local::testing::EventFiles;
using platform::local::testing::MachineSettings;
using platform::local::testing::utc;

// Every prefix of an exported file reads as some items or as none; each item found
// can be read and written to.
void check_every_prefix(const std::string& text) {
  for (std::size_t length = 0; length <= text.size(); ++length) {
    std::string prefix = text.substr(0, length);
    auto item = platform::local::parse_item_text(prefix);
    if (!item) continue;
    EventFiles files;
    files.add("home/cut", prefix);
    files.in_window(utc(2025, 1, 1), utc(2026, 1, 1));
    for (const auto& part : item->parts) {
      ASSERT_NE(part.main(), nullptr) << length;
      if (part.kind != ICAL_VTODO_COMPONENT) continue;
      platform::local::ReminderRow row = platform::local::reminder_row_of(*item, part);
      std::size_t position = part.master ? part.master->position : part.overrides.front().position;
      auto edit = platform::local::ItemTextEdit::open(prefix, "VTODO", platform::local::kProductId, position);
      if (!edit) continue;
      auto patched = platform::local::patch_reminder(std::move(*edit), row.fields, platform::Reminder::kTitle,
                                                     platform::Date{utc(2025, 6, 1)});
      if (patched.ok()) platform::local::parse_item_text(patched.value());
    }
  }
}

TEST(ExportedFiles, EveryCutOffCopyReadsOrIsTurnedDown) {
  MachineSettings settings;
  settings.zone("Europe/Berlin");
  for (const char* text : {store_test::kGoogleExport, store_test::kOutlookExport, store_test::kAppleTasks}) {
    check_every_prefix(text);
  }
}

}  // namespace
