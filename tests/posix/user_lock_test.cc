#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/posix/user_lock.h"

namespace {

using platform::posix::hold_user_lock;
using std::chrono::milliseconds;

constexpr uid_t kOtherUser = 65534;

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

void make_folder(const std::string& path, mode_t mode) {
  std::filesystem::create_directories(path);
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

void make_file(const std::string& path, mode_t mode) {
  std::FILE* made = std::fopen(path.c_str(), "w");
  ASSERT_NE(made, nullptr) << path;
  std::fclose(made);
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

// The runtime folder as the XDG rules promise it (the user's, mode 0700), holding
// the lock folder with `mode`.
void make_lock_folder(const std::string& base, mode_t mode) {
  make_folder(base + "/run", 0700);
  make_folder(base + "/run/calendar-bridge", mode);
}

void give_away(const std::string& path) { ASSERT_EQ(::lchown(path.c_str(), kOtherUser, kOtherUser), 0) << path; }

// Whether some open file description holds a lock on the file: this one cannot have it.
bool is_held(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  return held;
}

class UserLockTest : public testing::Test {
 protected:
  UserLockTest() {
    char pattern[] = "/tmp/user-lock-XXXXXX";
    base_ = ::mkdtemp(pattern);
  }
  ~UserLockTest() override { std::filesystem::remove_all(base_); }

  mode_t mode_of(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
  }

  std::string base_;
};

// Where the lock goes: the paths are under the test's folder, "$" standing for it.
// The runtime folder is "$/run", the cache "$/cache", the store's root "$/store".
struct ChoiceCase {
  const char* name;
  const char* runtime;  // XDG_RUNTIME_DIR; nullptr unsets it
  const char* cache;    // XDG_CACHE_HOME
  const char* home;     // HOME
  bool with_root;       // the store's root is offered as the last place
  std::function<void(const std::string& base)> prepare;
  const char* held;  // the lock file that ends up held, or "" for no lock
};

void PrintTo(const ChoiceCase& c, std::ostream* out) { *out << c.name; }

std::string expand(const char* text, const std::string& base) {
  if (text == nullptr) return std::string();
  std::string out = text;
  for (std::size_t at = out.find('$'); at != std::string::npos; at = out.find('$', at + base.size())) {
    out.replace(at, 1, base);
  }
  return out;
}

const ChoiceCase kChoices[] = {
    {"PrivateRuntimeFolder", "$/run", "$/cache", "$/home", true, [](const std::string& b) { make_folder(b + "/run", 0700); },
     "$/run/calendar-bridge/test.lock"},
    {"RuntimeFolderOthersCanRead", "$/run", "$/cache", "$/home", true,
     [](const std::string& b) { make_folder(b + "/run", 0755); }, "$/cache/calendar-bridge/test.lock"},
    {"RuntimeFolderOfAnotherUser", "$/run", "$/cache", "$/home", true,
     [](const std::string& b) {
       make_folder(b + "/run", 0700);
       give_away(b + "/run");
     },
     "$/cache/calendar-bridge/test.lock"},
    {"RuntimeFolderMissing", "$/run", "$/cache", "$/home", true, [](const std::string&) {},
     "$/cache/calendar-bridge/test.lock"},
    {"RuntimeFolderUnderAFile", "/etc/passwd/x", "$/cache", "$/home", true, [](const std::string&) {},
     "$/cache/calendar-bridge/test.lock"},
    {"RuntimeFolderALink", "$/run", "$/cache", "$/home", true,
     [](const std::string& b) {
       make_folder(b + "/elsewhere", 0700);
       std::filesystem::create_directory_symlink(b + "/elsewhere", b + "/run");
     },
     "$/cache/calendar-bridge/test.lock"},
    {"LinkPlantedAtTheLockPath", "$/run", "$/cache", "$/home", true,
     [](const std::string& b) {
       make_lock_folder(b, 0700);
       std::filesystem::create_symlink(b + "/victim", b + "/run/calendar-bridge/test.lock");
     },
     "$/cache/calendar-bridge/test.lock"},
    {"FifoAtTheLockPath", "$/run", "$/cache", "$/home", true,
     [](const std::string& b) {
       make_lock_folder(b, 0700);
       ASSERT_EQ(::mkfifo((b + "/run/calendar-bridge/test.lock").c_str(), 0600), 0);
     },
     "$/cache/calendar-bridge/test.lock"},
    {"LockFileOfAnotherUser", "$/run", "$/cache", "$/home", true,
     [](const std::string& b) {
       make_lock_folder(b, 0700);
       make_file(b + "/run/calendar-bridge/test.lock", 0600);
       give_away(b + "/run/calendar-bridge/test.lock");
     },
     "$/cache/calendar-bridge/test.lock"},
    {"LockFileOthersCanOpen", "$/run", "$/cache", "$/home", true,
     [](const std::string& b) {
       make_lock_folder(b, 0700);
       make_file(b + "/run/calendar-bridge/test.lock", 0644);
     },
     "$/cache/calendar-bridge/test.lock"},
    {"LockFolderOfAnotherUser", "$/run", "$/cache", "$/home", true,
     [](const std::string& b) {
       make_lock_folder(b, 0700);
       give_away(b + "/run/calendar-bridge");
     },
     "$/cache/calendar-bridge/test.lock"},
    {"LockFolderOthersCanWrite", "$/run", "$/cache", "$/home", true,
     [](const std::string& b) { make_lock_folder(b, 0777); }, "$/cache/calendar-bridge/test.lock"},
    {"CacheOfTheHomeFolder", nullptr, nullptr, "$/home", true, [](const std::string&) {},
     "$/home/.cache/calendar-bridge/test.lock"},
    {"RelativePathsCountAsUnset", "run", "cache", "$/home", true, [](const std::string&) {},
     "$/home/.cache/calendar-bridge/test.lock"},
    {"CacheLockFolderOfAnotherUser", nullptr, "$/cache", "$/home", true,
     [](const std::string& b) {
       make_folder(b + "/cache/calendar-bridge", 0700);
       give_away(b + "/cache/calendar-bridge");
     },
     "$/store/.test.lock"},
    {"CacheLockFolderALinkToAnotherUsers", nullptr, "$/cache", "$/home", true,
     [](const std::string& b) {
       make_folder(b + "/theirs", 0700);
       give_away(b + "/theirs");
       make_folder(b + "/cache", 0700);
       std::filesystem::create_directory_symlink(b + "/theirs", b + "/cache/calendar-bridge");
     },
     "$/store/.test.lock"},
    {"CacheLockFolderALinkToTheUsersOwn", nullptr, "$/cache", "$/home", true,
     [](const std::string& b) {
       make_folder(b + "/elsewhere", 0700);
       make_folder(b + "/cache", 0700);
       std::filesystem::create_directory_symlink(b + "/elsewhere", b + "/cache/calendar-bridge");
     },
     "$/store/.test.lock"},
    {"NoCacheNorHome", "/etc/passwd/x", nullptr, nullptr, true, [](const std::string&) {}, "$/store/.test.lock"},
    {"RootBehindALink", "/etc/passwd/x", nullptr, nullptr, true,
     [](const std::string& b) {
       std::filesystem::remove(b + "/store");
       make_folder(b + "/kept", 0700);
       std::filesystem::create_directory_symlink(b + "/kept", b + "/store");
     },
     "$/store/.test.lock"},
    {"NothingWithoutARoot", "/etc/passwd/x", "/etc/passwd/y", nullptr, false, [](const std::string&) {}, ""},
    {"NothingWhenTheRootIsNotPrivate", "/etc/passwd/x", "/etc/passwd/y", nullptr, true,
     [](const std::string& b) { ::chmod((b + "/store").c_str(), 0770); }, ""},
};

class UserLockChoice : public UserLockTest, public testing::WithParamInterface<ChoiceCase> {};

TEST_P(UserLockChoice, TakesTheFirstPlaceOnlyTheUserCanWrite) {
  const ChoiceCase& c = GetParam();
  make_folder(base_ + "/store", 0700);
  ASSERT_NO_FATAL_FAILURE(c.prepare(base_));
  std::string runtime = expand(c.runtime, base_), cache = expand(c.cache, base_), home = expand(c.home, base_);
  ScopedEnv runtime_env("XDG_RUNTIME_DIR", c.runtime ? runtime.c_str() : nullptr);
  ScopedEnv cache_env("XDG_CACHE_HOME", c.cache ? cache.c_str() : nullptr);
  ScopedEnv home_env("HOME", c.home ? home.c_str() : nullptr);

  auto lock = hold_user_lock("test.lock", milliseconds(0), c.with_root ? base_ + "/store" : std::string());
  std::string held = expand(c.held, base_);
  EXPECT_EQ(lock != nullptr, !held.empty());
  for (const char* place : {"$/run/calendar-bridge/test.lock", "$/cache/calendar-bridge/test.lock",
                            "$/home/.cache/calendar-bridge/test.lock", "$/store/.test.lock"}) {
    std::string path = expand(place, base_);
    EXPECT_EQ(is_held(path), path == held) << path;
  }
  if (!held.empty()) {
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(held)));
    EXPECT_EQ(mode_of(held), 0600u);
  }
  EXPECT_FALSE(std::filesystem::exists(base_ + "/victim"));
  // Nothing is made through a link.
  for (const char* target : {"/theirs", "/elsewhere"}) {
    if (std::filesystem::exists(base_ + target)) {
      EXPECT_TRUE(std::filesystem::is_empty(base_ + target)) << target;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, UserLockChoice, testing::ValuesIn(kChoices),
                         [](const testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

TEST_F(UserLockTest, IsExclusiveUntilReleased) {
  make_folder(base_ + "/run", 0700);
  ScopedEnv runtime("XDG_RUNTIME_DIR", (base_ + "/run").c_str());
  ScopedEnv cache("XDG_CACHE_HOME", (base_ + "/cache").c_str());
  auto first = hold_user_lock("test.lock", milliseconds(0), base_);
  ASSERT_NE(first, nullptr);
  // Another open of the file (as by another process) cannot have it meanwhile,
  // nor any other place: a held lock is waited for, never gone around.
  EXPECT_EQ(hold_user_lock("test.lock", milliseconds(0), base_), nullptr);
  EXPECT_EQ(hold_user_lock("test.lock", milliseconds(30), base_), nullptr);
  EXPECT_NE(hold_user_lock("other.lock", milliseconds(0), base_), nullptr);
  first.reset();
  EXPECT_NE(hold_user_lock("test.lock", milliseconds(0), base_), nullptr);
}

TEST_F(UserLockTest, WhatItMakesIsPrivate) {
  mode_t old_mask = ::umask(022);
  make_folder(base_ + "/run", 0700);
  {
    ScopedEnv cache("XDG_CACHE_HOME", (base_ + "/cache/deeper").c_str());
    ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    EXPECT_NE(hold_user_lock("test.lock", milliseconds(0), std::string()), nullptr);
  }
  {
    ScopedEnv runtime("XDG_RUNTIME_DIR", (base_ + "/run").c_str());
    EXPECT_NE(hold_user_lock("test.lock", milliseconds(0), std::string()), nullptr);
  }
  ::umask(old_mask);
  EXPECT_EQ(mode_of(base_ + "/cache"), 0700u);
  EXPECT_EQ(mode_of(base_ + "/cache/deeper/calendar-bridge"), 0700u);
  EXPECT_EQ(mode_of(base_ + "/cache/deeper/calendar-bridge/test.lock"), 0600u);
  EXPECT_EQ(mode_of(base_ + "/run/calendar-bridge"), 0700u);
  EXPECT_EQ(mode_of(base_ + "/run/calendar-bridge/test.lock"), 0600u);
}

}  // namespace
