// Every temporary path an atomic write takes lies beside its target and is
// recognised by the stale-temporary sweep, whatever the target's name.

#include <gtest/gtest.h>

#include <string>

#include "platform/local/files/temporary_name.h"

namespace {

using platform::local::is_temporary_name;
using platform::local::temporary_path_for;

struct TargetCase {
  std::string target;
  std::string folder;  // where its temporary must lie
};

TEST(TemporaryName, LiesBesideItsTargetAndIsRecognised) {
  const TargetCase cases[] = {
      {"/store/home/a.ics", "/store/home/"},
      {"/store/access.json", "/store/"},
      {"/calendar-store", "/"},
      {"calendar-store", "./"},
      {"/store/home/" + std::string(255, 'n'), "/store/home/"},
  };
  for (const TargetCase& c : cases) {
    std::string path = temporary_path_for(c.target);
    ASSERT_EQ(path.substr(0, c.folder.size()), c.folder) << c.target;
    std::string name = path.substr(c.folder.size());
    EXPECT_TRUE(is_temporary_name(name)) << name;
    EXPECT_LE(name.size(), 255u) << name;
    EXPECT_NE(temporary_path_for(c.target), path) << c.target;
  }
}

}  // namespace
