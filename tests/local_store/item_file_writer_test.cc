// Another program (a sync tool, an editor) replacing an item file at the worst
// moment of a write: just before the bridge's new version takes its place. No
// version another program put there may be lost.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "local_store/event_test_env.h"
#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/files/item_file_writer.h"
#include "platform/local/local_platform.h"

namespace {

namespace fs = std::filesystem;
using platform::Reminder;
using platform::local::FileContents;
using store_test::StoreFolder;

// What another program does to the item just before a swap.
enum class Other { nothing, renames_once, renames_always, deletes, writes_in_place };

// Runs `other` at each swap of the writer while it lives.
class OtherProgram {
 public:
  explicit OtherProgram(Other other) : other_(other) {
    platform::local::set_before_swap_for_tests([this](const std::string& path) { act(path); });
  }
  ~OtherProgram() { platform::local::set_before_swap_for_tests(nullptr); }
  int acted = 0;

 private:
  std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // As sync tools do: the whole new version to a temporary file, renamed over the item.
  void rename_over(const std::string& path, const std::string& text) {
    std::string temp = path + ".other";
    std::ofstream(temp, std::ios::binary) << text;
    fs::rename(temp, path);
  }
  void act(const std::string& path) {
    if (other_ == Other::nothing || (other_ != Other::renames_always && acted > 0)) return;
    ++acted;
    std::string theirs = "theirs" + std::to_string(acted) + "\n";
    switch (other_) {
      case Other::renames_once:
      case Other::renames_always: rename_over(path, read(path) + theirs); break;
      case Other::deletes: fs::remove(path); break;
      case Other::writes_in_place: std::ofstream(path, std::ios::binary | std::ios::app) << theirs; break;
      case Other::nothing: break;
    }
  }
  Other other_;
};

std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

struct SwapCase {
  const char* name;
  Other other;
  const char* file;     // the item afterwards; null when it is gone
  const char* failure;  // the message after the prefix; null for success
};

const SwapCase kSwapCases[] = {
    {"alone", Other::nothing, "v0\nours\n", nullptr},
    {"another version renamed in once", Other::renames_once, "v0\ntheirs1\nours\n", nullptr},
    {"another version written in place", Other::writes_in_place, "v0\ntheirs1\nours\n", nullptr},
    {"a new version at every swap", Other::renames_always, "v0\ntheirs1\ntheirs2\ntheirs3\ntheirs4\ntheirs5\n",
     "其他程序一直在修改这个文件，请稍后重试。"},
    {"the item deleted", Other::deletes, nullptr, "文件已被其他程序删除。"},
};

TEST(ItemFileWriter, AWriteReplacesOnlyTheVersionItsTextWasMadeFrom) {
  for (const SwapCase& c : kSwapCases) {
    test_support::TempFolder dir;
    std::string folder = dir.path().string();
    std::string item = folder + "/a.ics";
    std::ofstream(item, std::ios::binary) << "v0\n";
    auto read = platform::local::read_file(item, 1 << 20);
    ASSERT_TRUE(read.ok());
    OtherProgram other(c.other);
    auto rewrite = [](const FileContents& current) -> platform::local::Expected<std::string, platform::Error> {
      return current.bytes + "ours\n";
    };
    auto written = platform::local::replace_item_file(folder, "a.ics", read.value(), rewrite, "P:");
    if (c.failure) {
      ASSERT_FALSE(written.ok()) << c.name;
      EXPECT_EQ(written.error().localized_description, std::string("P:") + c.failure) << c.name;
    } else {
      ASSERT_TRUE(written.ok()) << c.name << written.error().localized_description;
      EXPECT_EQ(platform::local::stamp_of(item).value(), written.value()) << c.name;
    }
    if (c.file) {
      std::ifstream in(item, std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.file) << c.name;
      EXPECT_EQ(entries(folder), std::vector<std::string>{"a.ics"}) << c.name;
    } else {
      EXPECT_EQ(entries(folder), std::vector<std::string>{}) << c.name;
    }
  }
}

TEST(ItemFileWriter, ARemovalRemovesOnlyTheVersionItRead) {
  for (Other other_kind : {Other::nothing, Other::renames_once, Other::writes_in_place}) {
    test_support::TempFolder dir;
    std::string item = dir.path().string() + "/a.ics";
    std::ofstream(item, std::ios::binary) << "v0\n";
    auto read = platform::local::read_file(item, 1 << 20);
    OtherProgram other(other_kind);
    auto removed = platform::local::remove_item_file(item, read.value().stamp, "P:");
    ASSERT_TRUE(removed.ok());
    EXPECT_EQ(removed.value(), other_kind == Other::nothing);
    if (other_kind == Other::nothing) {
      EXPECT_EQ(entries(dir.path().string()), std::vector<std::string>{});
    } else {
      std::ifstream in(item, std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "v0\ntheirs1\n");
      EXPECT_EQ(entries(dir.path().string()), std::vector<std::string>{"a.ics"});
    }
  }
}

class ConcurrentEditTest : public testing::Test {
 protected:
  ConcurrentEditTest() {
    settings_.zone("UTC");
    folder_.add_collection("todo", "Todo", "VTODO");
  }
  platform::local::testing::MachineSettings settings_;
  StoreFolder folder_;
  platform::local::LocalPlatform platform_{folder_.root()};
};

// Another program's edit lands while the bridge saves: the save's own change is
// made on that version, and both are in the file.
TEST_F(ConcurrentEditTest, AnEditLandedDuringASaveIsKept) {
  folder_.write("todo/a.ics", store_test::todo_file("UID:a\r\nSUMMARY:old title\r\n"));
  auto store = platform_.open_event_store();
  Reminder reminder = store_test::stored_reminder(*store, "todo/a");
  reminder.set_title("new title");
  bool landed = false;
  platform::local::set_before_swap_for_tests([&](const std::string& path) {
    if (landed) return;
    landed = true;
    std::string theirs = store_test::todo_file("UID:a\r\nSUMMARY:old title\r\nDESCRIPTION:added elsewhere\r\n");
    std::ofstream(path + ".other", std::ios::binary) << theirs;
    fs::rename(path + ".other", path);
  });
  auto saved = store->save_reminder(reminder);
  platform::local::set_before_swap_for_tests(nullptr);
  ASSERT_EQ(store_test::refusal(saved), "");
  EXPECT_EQ(reminder.notes(), std::optional<std::string>("added elsewhere"));
  Reminder read = store_test::stored_reminder(*platform_.open_event_store(), "todo/a");
  EXPECT_EQ(read.title(), "new title");
  EXPECT_EQ(read.notes(), std::optional<std::string>("added elsewhere"));
}

// Another program adds an item to a file of several while the bridge deletes one.
TEST_F(ConcurrentEditTest, AnItemAddedDuringADeleteIsKept) {
  const std::string two = "BEGIN:VTODO\r\nUID:a\r\nSUMMARY:one\r\nEND:VTODO\r\nBEGIN:VTODO\r\nUID:b\r\nSUMMARY:two\r\nEND:VTODO\r\n";
  const std::string third = "BEGIN:VTODO\r\nUID:c\r\nSUMMARY:three\r\nEND:VTODO\r\n";
  auto calendar = [](const std::string& body) { return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\n" + body + "END:VCALENDAR\r\n"; };
  folder_.write("todo/tasks.ics", calendar(two));
  auto store = platform_.open_event_store();
  Reminder one = store_test::stored_reminder(*store, "todo/tasks/a");
  bool landed = false;
  platform::local::set_before_swap_for_tests([&](const std::string& path) {
    if (landed) return;
    landed = true;
    std::ofstream(path + ".other", std::ios::binary) << calendar(two + third);
    fs::rename(path + ".other", path);
  });
  auto removed = store->remove_reminder(one);
  platform::local::set_before_swap_for_tests(nullptr);
  ASSERT_EQ(store_test::refusal(removed), "");
  EXPECT_EQ(folder_.read("todo/tasks.ics"),
            calendar("BEGIN:VTODO\r\nUID:b\r\nSUMMARY:two\r\nEND:VTODO\r\n" + third));
}

}  // namespace
