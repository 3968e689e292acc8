// The index is the store's own file: when its path, or the path of one of SQLite's
// files beside it, holds a link, anything but a regular file or a file of another
// user, the executable answers as without an index and no file there or where a
// link leads is changed.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "local_store/store_folder.h"

namespace {

constexpr uid_t kOtherUser = 65534;

const char* const kQuery =
    R"({"calendarIds":["home"],"start":"2025-03-01T00:00:00Z","end":"2025-04-01T00:00:00Z"})";

std::string events_reply(const std::string& root) {
  cli::Invocation invocation;
  invocation.args = {"events"};
  invocation.input = kQuery;
  invocation.env = {{"CALENDAR_STORE_DIR", root}, {"TZ", "UTC"}, {"LC_ALL", "C.UTF-8"}};
  invocation.time_limit = std::chrono::milliseconds(20000);
  cli::RunResult r = cli::run(invocation);
  return "exit " + std::to_string(r.exit_status) + "\n" + r.out + "\n" + r.err;
}

void add_event(const store_test::StoreFolder& folder, const std::string& uid, const std::string& title) {
  std::string name = "home/" + uid + ".ics";
  folder.write(name, "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + title +
                         "\r\nDTSTART:20250310T090000Z\r\nDTEND:20250310T100000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
  store_test::set_modified(folder.path(name), 1700000000);
}

void fill(const store_test::StoreFolder& folder) {
  folder.write("access.json", R"({"events":3})");
  folder.add_collection("home", "Home", "VEVENT");
  add_event(folder, "e", "Dentist");
}

// Another program's SQLite database outside the store; its path.
std::string other_database(const store_test::StoreFolder& folder) {
  std::string path = folder.base() + "/other.sqlite";
  store_test::sql(path, "CREATE TABLE items(name TEXT); INSERT INTO items VALUES('precious'); PRAGMA user_version=3;");
  return path;
}

// Plain bytes outside the store; their path.
std::string other_file(const store_test::StoreFolder& folder) {
  folder.write("../other.txt", "precious bytes\n");
  return folder.base() + "/other.txt";
}

void link_to(const std::string& target, const std::string& link) {
  ::unlink(link.c_str());
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
}

std::string bytes_of(const std::string& path) {
  if (path.empty()) return "";
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What is at a path, a link not followed: its kind, and where a link leads.
std::string place_of(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return "none";
  if (S_ISLNK(st.st_mode)) {
    char target[4096];
    ssize_t size = ::readlink(path.c_str(), target, sizeof target);
    return "link to " + std::string(target, size > 0 ? static_cast<std::size_t>(size) : 0);
  }
  if (S_ISDIR(st.st_mode)) return "directory";
  if (S_ISFIFO(st.st_mode)) return "fifo";
  return S_ISREG(st.st_mode) ? "file of " + std::to_string(st.st_uid) : "other";
}

// What is at the index's path and at each of SQLite's paths beside it.
std::vector<std::string> places_of(const store_test::StoreFolder& folder) {
  std::vector<std::string> places;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    places.push_back(place_of(folder.path(std::string(".index.sqlite") + suffix)));
  }
  return places;
}

struct HostilePlace {
  const char* name;
  // Makes the place at the store's index (made and in use before when `index_before`);
  // the path of a file outside the store that must stay byte for byte, or "".
  std::string (*make)(const store_test::StoreFolder& folder);
  bool index_before = false;
  bool needs_root = false;
};

const HostilePlace kPlaces[] = {
    {"LinkToAnotherDatabase",
     [](const store_test::StoreFolder& f) {
       std::string other = other_database(f);
       link_to(other, f.path(".index.sqlite"));
       return other;
     }},
    {"LinkToNowhere",
     [](const store_test::StoreFolder& f) {
       link_to(f.base() + "/made-by-nobody", f.path(".index.sqlite"));
       return std::string();
     }},
    {"Fifo",
     [](const store_test::StoreFolder& f) {
       EXPECT_EQ(::mkfifo(f.path(".index.sqlite").c_str(), 0600), 0);
       return std::string();
     }},
    {"Directory",
     [](const store_test::StoreFolder& f) {
       EXPECT_EQ(::mkdir(f.path(".index.sqlite").c_str(), 0700), 0);
       return std::string();
     }},
    {"OtherUsersDatabase",
     [](const store_test::StoreFolder& f) {
       store_test::sql(f.path(".index.sqlite"), "CREATE TABLE items(name TEXT); PRAGMA user_version=3;");
       EXPECT_EQ(::chown(f.path(".index.sqlite").c_str(), kOtherUser, kOtherUser), 0);
       return f.path(".index.sqlite");
     },
     false, true},
    {"LinkedWal",
     [](const store_test::StoreFolder& f) {
       std::string other = other_file(f);
       link_to(other, f.path(".index.sqlite-wal"));
       return other;
     },
     true},
    {"LinkedShm",
     [](const store_test::StoreFolder& f) {
       std::string other = other_file(f);
       link_to(other, f.path(".index.sqlite-shm"));
       return other;
     },
     true},
    {"WalLinkToNowhere",
     [](const store_test::StoreFolder& f) {
       link_to(f.base() + "/made-by-nobody", f.path(".index.sqlite-wal"));
       return std::string();
     },
     true},
    {"LinkedJournal",
     [](const store_test::StoreFolder& f) {
       std::string other = other_file(f);
       link_to(other, f.path(".index.sqlite-journal"));
       return other;
     },
     true},
    {"OtherUsersWal",
     [](const store_test::StoreFolder& f) {
       f.write(".index.sqlite-wal", "");
       EXPECT_EQ(::chown(f.path(".index.sqlite-wal").c_str(), kOtherUser, kOtherUser), 0);
       return f.path(".index.sqlite-wal");
     },
     true, true},
};

class HostileIndexPlaceTest : public testing::TestWithParam<HostilePlace> {};

TEST_P(HostileIndexPlaceTest, AnswersAsWithoutAnIndexAndChangesNothingThere) {
  if (GetParam().needs_root && !store_test::running_as_root()) GTEST_SKIP() << "only root gives files away";
  store_test::StoreFolder plain, hostile;
  fill(plain);
  fill(hostile);
  if (GetParam().index_before) events_reply(hostile.root());
  // A file the index has no row for yet: the query would write one.
  for (auto* folder : {&plain, &hostile}) add_event(*folder, "late", "Late");
  std::string expected = events_reply(plain.root());
  ASSERT_NE(expected.find("\"Late\""), std::string::npos) << expected;
  std::string foreign = GetParam().make(hostile);
  std::string foreign_before = bytes_of(foreign);
  std::vector<std::string> places_before = places_of(hostile);

  EXPECT_EQ(events_reply(hostile.root()), expected);
  EXPECT_EQ(events_reply(hostile.root()), expected);

  EXPECT_EQ(bytes_of(foreign), foreign_before);
  // SQLite's own files of another database are not made beside it either.
  EXPECT_EQ(place_of(foreign + "-wal"), "none");
  EXPECT_EQ(places_of(hostile), places_before);
  EXPECT_EQ(place_of(hostile.base() + "/made-by-nobody"), "none");
}

INSTANTIATE_TEST_SUITE_P(Places, HostileIndexPlaceTest, testing::ValuesIn(kPlaces),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
