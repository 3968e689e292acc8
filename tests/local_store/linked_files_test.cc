// Symbolic links in a store: a collection folder that is a link is followed; an
// item or metadata file that is a link is read only when it names a regular file of
// the store's owner, so that no other user's file shows in a reply.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "local_store/reminder_test_support.h"
#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

using platform::EntityType;

// A user the store's owner is not (tests run as root can give files away).
constexpr uid_t kOtherUser = 65534;

// What a link in the store names, made outside the store; its path.
struct LinkTarget {
  const char* name;
  std::string (*make)(const store_test::StoreFolder& folder, const std::string& text);
  bool read;  // whether the store reads through the link
  bool needs_root = false;
};

std::string own_file(const store_test::StoreFolder& folder, const std::string& text) {
  std::string path = folder.base() + "/elsewhere";
  folder.write("../elsewhere", text);
  return path;
}

const LinkTarget kTargets[] = {
    {"OwnRegularFile", own_file, true},
    {"OtherUsersFile",
     [](const store_test::StoreFolder& folder, const std::string& text) {
       std::string path = own_file(folder, text);
       EXPECT_EQ(::chown(path.c_str(), kOtherUser, kOtherUser), 0);
       return path;
     },
     false, true},
    {"Directory",
     [](const store_test::StoreFolder& folder, const std::string&) {
       std::string path = folder.base() + "/elsewhere";
       EXPECT_EQ(::mkdir(path.c_str(), 0700), 0);
       return path;
     },
     false},
    {"Fifo",
     [](const store_test::StoreFolder& folder, const std::string&) {
       std::string path = folder.base() + "/elsewhere";
       EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
       return path;
     },
     false},
    {"Dangling", [](const store_test::StoreFolder& folder, const std::string&) { return folder.base() + "/nowhere"; },
     false},
};

class LinkedFileTest : public testing::TestWithParam<LinkTarget> {
 protected:
  void SetUp() override {
    if (GetParam().needs_root && !store_test::running_as_root()) GTEST_SKIP() << "only root gives files away";
    folder_.add_collection("todo", "", "VTODO");
  }
  // `relative` in the store made a link to a target holding `text`.
  void link(const std::string& relative, const std::string& text) {
    std::string target = GetParam().make(folder_, text);
    ASSERT_EQ(::symlink(target.c_str(), folder_.path(relative).c_str()), 0);
  }
  platform::CalendarRef list() {
    platform::local::LocalPlatform platform(folder_.root());
    auto lists = platform.open_event_store()->calendars_for_entity_type(EntityType::reminder);
    EXPECT_EQ(lists.size(), 1u);
    return lists.empty() ? nullptr : lists.front();
  }
  store_test::StoreFolder folder_;
};

TEST_P(LinkedFileTest, SourceIsTheAccountOnlyFromAnOwnFile) {
  link("todo/source", "secret account\n");
  platform::CalendarRef calendar = list();
  ASSERT_TRUE(calendar);
  EXPECT_EQ(calendar->source ? calendar->source->title : "(none)", GetParam().read ? "secret account" : "(none)");
}

TEST_P(LinkedFileTest, DisplaynameIsTheTitleOnlyFromAnOwnFile) {
  link("todo/displayname", "Secret title\n");
  platform::CalendarRef calendar = list();
  ASSERT_TRUE(calendar);
  EXPECT_EQ(calendar->title, GetParam().read ? "Secret title" : "todo");
}

TEST_P(LinkedFileTest, AnItemIsListedOnlyFromAnOwnFile) {
  folder_.write("todo/plain.ics", store_test::todo_file("UID:plain\r\nSUMMARY:Plain\r\n"));
  link("todo/linked.ics", store_test::todo_file("UID:linked\r\nSUMMARY:Secret\r\n"));
  for (int pass = 0; pass < 2; ++pass) {  // the second from the index
    platform::local::LocalPlatform platform(folder_.root());
    auto store = platform.open_event_store();
    std::vector<std::string> titles;
    for (const auto& reminder : store_test::fetch_and_wait(*store, {store_test::list_named(*store, "todo")}).reminders) {
      titles.push_back(reminder.title());
    }
    EXPECT_EQ(titles, GetParam().read ? (std::vector<std::string>{"Secret", "Plain"})
                                      : (std::vector<std::string>{"Plain"}))
        << pass;
    // Looked up by its identifier, it is not there either.
    EXPECT_EQ(store->calendar_item_with_identifier("todo/linked").has_value(), GetParam().read) << pass;
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, LinkedFileTest, testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

// Calendars kept elsewhere are linked in as collections, whoever owns the link's target folder.
TEST(LinkedCollection, IsFollowed) {
  store_test::StoreFolder folder;
  folder.write("../kept/displayname", "Kept elsewhere\n");
  folder.write("../kept/components", "VTODO\n");
  ASSERT_EQ(::symlink((folder.base() + "/kept").c_str(), folder.path("kept").c_str()), 0);
  platform::local::LocalPlatform platform(folder.root());
  auto lists = platform.open_event_store()->calendars_for_entity_type(EntityType::reminder);
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists.front()->title, "Kept elsewhere");
}

}  // namespace
