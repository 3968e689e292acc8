// Listing a folder: every entry once, with the kind and the version fstatat gives,
// whether one thread looks at them or several (a large collection).

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <string>

#include "platform/local/files/sys_file.h"
#include "support/temp_folder.h"

namespace {

using platform::local::EntryKind;

TEST(DirectoryListingTest, GivesEachEntryItsKindAndVersion) {
  for (int files : {3, 5000}) {
    SCOPED_TRACE(files);
    test_support::TempFolder folder;
    std::map<std::string, EntryKind> expected;
    for (int i = 0; i < files; ++i) {
      std::string name = "item-" + std::to_string(i) + ".ics";
      folder.write(name, std::string(static_cast<std::size_t>(i % 7), 'x'));
      expected[name] = EntryKind::regular;
    }
    ASSERT_EQ(::mkdir((folder.str() + "/sub").c_str(), 0700), 0);
    expected["sub"] = EntryKind::directory;
    ASSERT_EQ(::symlink("item-1.ics", (folder.str() + "/link.ics").c_str()), 0);
    expected["link.ics"] = EntryKind::regular;  // what it names
    ASSERT_EQ(::symlink("nowhere", (folder.str() + "/dangling.ics").c_str()), 0);
    expected["dangling.ics"] = EntryKind::other;

    auto listed = platform::local::list_directory(folder.str(), true);
    ASSERT_TRUE(listed.ok());
    std::map<std::string, EntryKind> found;
    for (const auto& entry : listed.value()) {
      EXPECT_TRUE(found.emplace(entry.name, entry.kind).second) << entry.name << " twice";
      struct stat st {};
      bool exists = ::stat((folder.str() + "/" + entry.name).c_str(), &st) == 0;
      ASSERT_EQ(entry.stamp.has_value(), exists) << entry.name;
      if (exists) {
        EXPECT_EQ(entry.stamp->inode, st.st_ino) << entry.name;
        EXPECT_EQ(entry.stamp->size, st.st_size) << entry.name;
      }
    }
    EXPECT_EQ(found, expected);
  }
}

TEST(DirectoryListingTest, AMissingFolderIsAFailureWithItsCall) {
  test_support::TempFolder folder;
  auto listed = platform::local::list_directory(folder.str() + "/absent", true);
  ASSERT_FALSE(listed.ok());
  EXPECT_EQ(listed.error().code, ENOENT);
  EXPECT_EQ(listed.error().call, "open");
}

}  // namespace
