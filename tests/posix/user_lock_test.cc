#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/posix/user_lock.h"

namespace {

using platform::posix::hold_user_lock;
using platform::posix::user_lock_folder;
using std::chrono::milliseconds;

// Sets (or, with nullptr, unsets) an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_.c_str(), old_->c_str(), 1);
    else ::unsetenv(name_.c_str());
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

struct FolderCase {
  const char* runtime;
  const char* cache;
  const char* home;
  const char* expected;
};

class UserLockFolder : public testing::TestWithParam<FolderCase> {};

TEST_P(UserLockFolder, FromTheEnvironment) {
  ScopedEnv runtime("XDG_RUNTIME_DIR", GetParam().runtime);
  ScopedEnv cache("XDG_CACHE_HOME", GetParam().cache);
  ScopedEnv home("HOME", GetParam().home);
  EXPECT_EQ(user_lock_folder(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Variables, UserLockFolder,
    testing::Values(FolderCase{"/run/user/1000", "/c", "/h", "/run/user/1000/calendar-bridge"},
                    FolderCase{"", "/c", "/h", "/c/calendar-bridge"},
                    FolderCase{nullptr, "/c", "/h", "/c/calendar-bridge"},
                    FolderCase{"run/user", "c", "/h", "/h/.cache/calendar-bridge"},  // relative: unset
                    FolderCase{nullptr, nullptr, "/h", "/h/.cache/calendar-bridge"},
                    FolderCase{nullptr, nullptr, "", ""}, FolderCase{nullptr, nullptr, nullptr, ""}));

class UserLock : public testing::Test {
 protected:
  UserLock() {
    char pattern[] = "/tmp/user-lock-XXXXXX";
    base_ = ::mkdtemp(pattern);
  }
  ~UserLock() override { std::filesystem::remove_all(base_); }

  mode_t mode_of(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
  }

  std::string base_;
};

TEST_F(UserLock, IsExclusiveUntilReleased) {
  ScopedEnv runtime("XDG_RUNTIME_DIR", base_.c_str());
  auto first = hold_user_lock("test.lock", milliseconds(0));
  ASSERT_NE(first, nullptr);
  // Another open of the file (as by another process) cannot have it meanwhile.
  EXPECT_EQ(hold_user_lock("test.lock", milliseconds(0)), nullptr);
  EXPECT_EQ(hold_user_lock("test.lock", milliseconds(30)), nullptr);
  EXPECT_NE(hold_user_lock("other.lock", milliseconds(0)), nullptr);
  first.reset();
  EXPECT_NE(hold_user_lock("test.lock", milliseconds(0)), nullptr);
}

TEST_F(UserLock, WhatItMakesIsPrivate) {
  mode_t old_mask = ::umask(022);
  {
    ScopedEnv cache("XDG_CACHE_HOME", (base_ + "/cache/deeper").c_str());
    ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    EXPECT_NE(hold_user_lock("test.lock", milliseconds(0)), nullptr);
  }
  ::umask(old_mask);
  EXPECT_EQ(mode_of(base_ + "/cache"), 0700u);
  EXPECT_EQ(mode_of(base_ + "/cache/deeper/calendar-bridge"), 0700u);
  EXPECT_EQ(mode_of(base_ + "/cache/deeper/calendar-bridge/test.lock"), 0600u);
}

TEST_F(UserLock, AFolderThatCannotHoldTheFileGivesNoLock) {
  std::string file = base_ + "/a-file";
  std::FILE* made = std::fopen(file.c_str(), "w");
  ASSERT_NE(made, nullptr);
  std::fclose(made);
  ScopedEnv runtime("XDG_RUNTIME_DIR", file.c_str());
  EXPECT_EQ(hold_user_lock("test.lock", milliseconds(0)), nullptr);
  ScopedEnv none("XDG_RUNTIME_DIR", nullptr);
  ScopedEnv no_cache("XDG_CACHE_HOME", nullptr);
  ScopedEnv no_home("HOME", nullptr);
  EXPECT_EQ(hold_user_lock("test.lock", milliseconds(0)), nullptr);
}

}  // namespace
