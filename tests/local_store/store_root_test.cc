#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"
#include "platform/local/root/store_root.h"

namespace {

using platform::AuthorizationStatus;
using platform::EntityType;
using platform::local::LocalPlatform;
using store_test::ScopedEnv;
using store_test::StoreFolder;

struct RootCase {
  const char* name;
  const char* store_dir;
  const char* data_home;
  const char* home;
  const char* expected;
};

class StoreRootTest : public testing::TestWithParam<RootCase> {};

TEST_P(StoreRootTest, ResolvesFromTheEnvironment) {
  const RootCase& c = GetParam();
  ScopedEnv store_dir("CALENDAR_STORE_DIR", c.store_dir);
  ScopedEnv data_home("XDG_DATA_HOME", c.data_home);
  ScopedEnv home("HOME", c.home);
  EXPECT_EQ(platform::local::resolve_store_root(), c.expected);
}

const RootCase kRootCases[] = {
    {"StoreDirWins", "/s/store", "/d", "/h", "/s/store"},
    {"EmptyStoreDirFallsToDataHome", "", "/d", "/h", "/d/calendar-store"},
    {"UnsetStoreDirFallsToDataHome", nullptr, "/d", "/h", "/d/calendar-store"},
    {"EmptyDataHomeFallsToHome", nullptr, "", "/h", "/h/.local/share/calendar-store"},
    {"UnsetDataHomeFallsToHome", nullptr, nullptr, "/home/u", "/home/u/.local/share/calendar-store"},
};

INSTANTIATE_TEST_SUITE_P(Environment, StoreRootTest, testing::ValuesIn(kRootCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StoreRoot, ConstructingThePlatformAndReadingStatusCreateNothing) {
  StoreFolder folder;
  std::string root = folder.base() + "/missing/root";
  ScopedEnv store_dir("CALENDAR_STORE_DIR", root.c_str());
  LocalPlatform platform;
  EXPECT_EQ(platform.root(), root);
  EXPECT_EQ(platform.authorization_status(EntityType::event), AuthorizationStatus{0});
  EXPECT_EQ(platform.authorization_status(EntityType::reminder), AuthorizationStatus{0});
  EXPECT_FALSE(std::filesystem::exists(folder.base() + "/missing"));
}

TEST(StoreRoot, OpeningCreatesTheDefaultCollections) {
  StoreFolder folder;
  std::string root = folder.base() + "/data/calendar-store";
  LocalPlatform platform(root);
  auto store = platform.open_event_store();
  EXPECT_EQ(folder.read("../data/calendar-store/calendar/displayname"), "Calendar\n");
  EXPECT_EQ(folder.read("../data/calendar-store/calendar/components"), "VEVENT\n");
  EXPECT_EQ(folder.read("../data/calendar-store/calendar/color"), "#1BADF8\n");
  EXPECT_EQ(folder.read("../data/calendar-store/reminders/displayname"), "Reminders\n");
  EXPECT_EQ(folder.read("../data/calendar-store/reminders/components"), "VTODO\n");
  EXPECT_EQ(folder.read("../data/calendar-store/reminders/color"), "#FF9500\n");
  EXPECT_FALSE(std::filesystem::exists(root + "/access.json"));
  // Nothing of the staging folder is left beside the root.
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.base() + "/data")) ++entries;
  EXPECT_EQ(entries, 1);

  auto events = store->calendars_for_entity_type(EntityType::event);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]->identifier, "calendar");
  EXPECT_EQ(events[0]->title, "Calendar");
  ASSERT_TRUE(events[0]->color.srgb.has_value());
  EXPECT_EQ(*events[0]->color.srgb, (platform::RgbComponents{0x1B / 255.0, 0xAD / 255.0, 0xF8 / 255.0}));
  auto lists = store->calendars_for_entity_type(EntityType::reminder);
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0]->identifier, "reminders");
  EXPECT_EQ(lists[0]->title, "Reminders");
}

TEST(StoreRoot, ARootNamedWithATrailingSlashIsMadeWithItsCollections) {
  StoreFolder folder;
  LocalPlatform platform(folder.base() + "/data/calendar-store/");
  auto store = platform.open_event_store();
  EXPECT_EQ(folder.read("../data/calendar-store/calendar/components"), "VEVENT\n");
  ASSERT_EQ(store->calendars_for_entity_type(EntityType::reminder).size(), 1u);
  EXPECT_EQ(store->calendars_for_entity_type(EntityType::reminder)[0]->identifier, "reminders");
}

TEST(StoreRoot, AnExistingRootIsNeverChanged) {
  StoreFolder folder;
  LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  EXPECT_TRUE(std::filesystem::is_empty(folder.root()));
  EXPECT_TRUE(store->calendars_for_entity_type(EntityType::event).empty());
}

// Sets the process's file mode creation mask for the life of the object.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }

 private:
  mode_t old_;
};

mode_t mode_of(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// The event list of every collection, which reads the files through the index.
void read_events(platform::EventStore& store) {
  store.events_matching(platform::Date{0}, platform::Date{4102444800.0},
                        store.calendars_for_entity_type(EntityType::event));
}

constexpr const char* kEvent =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:e\r\nDTSTART:20250310T090000Z\r\nEND:VEVENT\r\n"
    "END:VCALENDAR\r\n";

TEST(StoreRoot, WhatTheStoreCreatesIsTheUsersAloneUnderTheUsualUmask) {
  ScopedUmask mask(022);
  StoreFolder folder;
  ASSERT_EQ(::chmod(folder.base().c_str(), 0755), 0);
  std::string root = folder.base() + "/data/share/calendar-store";
  LocalPlatform platform(root);
  auto store = platform.open_event_store();
  ASSERT_TRUE(std::filesystem::exists(root + "/calendar"));
  std::ofstream(root + "/calendar/e.ics") << kEvent;
  read_events(*store);
  // The folder that was there keeps its mode; every folder made on the way is private.
  EXPECT_EQ(mode_of(folder.base()), 0755u);
  for (const char* made : {"/data", "/data/share", "/data/share/calendar-store"}) {
    EXPECT_EQ(mode_of(folder.base() + made), 0700u) << made;
  }
  // The index and its journal files, while the store has them open.
  for (const char* suffix : {"", "-wal", "-shm"}) {
    EXPECT_EQ(mode_of(root + "/.index.sqlite" + suffix), 0600u) << suffix;
  }
}

TEST(StoreRoot, ModesTheUserChoseAreKept) {
  ScopedUmask mask(022);
  StoreFolder folder;
  ASSERT_EQ(::chmod(folder.root().c_str(), 0750), 0);
  folder.add_collection("home", "Home", "VEVENT");
  folder.write("home/e.ics", kEvent);
  {
    LocalPlatform platform(folder.root());
    read_events(*platform.open_event_store());
  }
  ASSERT_EQ(::chmod(folder.path(".index.sqlite").c_str(), 0640), 0);
  LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  read_events(*store);
  EXPECT_EQ(mode_of(folder.root()), 0750u);
  for (const char* suffix : {"", "-wal", "-shm"}) {
    EXPECT_EQ(mode_of(folder.path(".index.sqlite") + suffix), 0640u) << suffix;
  }
}

struct StatusCase {
  const char* name;
  const char* record;  // nullptr: no file
  int events;
  int reminders;
};

class StatusReadTest : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusReadTest, ReadsTheRecordWithoutTouchingIt) {
  const StatusCase& c = GetParam();
  StoreFolder folder;
  if (c.record) folder.write("access.json", c.record);
  struct stat before {};
  ::stat(folder.path("access.json").c_str(), &before);
  LocalPlatform platform(folder.root());
  EXPECT_EQ(platform.authorization_status(EntityType::event), AuthorizationStatus{c.events});
  EXPECT_EQ(platform.authorization_status(EntityType::reminder), AuthorizationStatus{c.reminders});
  if (c.record) {
    EXPECT_EQ(folder.read("access.json"), c.record);
    struct stat after {};
    ::stat(folder.path("access.json").c_str(), &after);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_ino, before.st_ino);
  } else {
    EXPECT_FALSE(folder.exists("access.json"));
  }
  EXPECT_FALSE(folder.exists("calendar"));
}

const StatusCase kStatusCases[] = {
    {"NoFile", nullptr, 0, 0},
    {"BothKeys", R"({"events": 3, "reminders": 2, "prompt": "grant"})", 3, 2},
    {"EveryValue", R"({"events": 4, "reminders": 1})", 4, 1},
    {"MissingKey", R"({"events": 2})", 2, 0},
    {"TextValue", R"({"events": "3", "reminders": 3})", 0, 3},
    {"FractionalValue", R"({"events": 3.0})", 0, 0},
    {"OutOfRange", R"({"events": 5, "reminders": -1})", 0, 0},
    {"NotAnObject", R"([3, 3])", 0, 0},
    {"NotJson", "events: 3", 0, 0},
    {"Empty", "", 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Records, StatusReadTest, testing::ValuesIn(kStatusCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
