#include "local_store/store_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace store_test {

namespace fs = std::filesystem;

StoreFolder::StoreFolder() : base_(folder_.str()), root_(base_ + "/root") { fs::create_directories(root_); }

void StoreFolder::write(std::string_view relative, std::string_view contents) const {
  test_support::write_file(path(relative), contents);
}

void StoreFolder::add_collection(std::string_view folder, std::string_view displayname, std::string_view components,
                                 std::string_view color) const {
  test_support::add_collection(root_, folder, displayname, components, color);
}

std::string StoreFolder::read(std::string_view relative) const {
  std::ifstream in(path(relative), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool StoreFolder::exists(std::string_view relative) const { return fs::exists(path(relative)); }

bool running_as_root() { return ::geteuid() == 0; }

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) {
    had_ = true;
    old_ = old;
  }
  if (value) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    ::setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

void set_modified(const std::string& path, long seconds, long nanoseconds) {
  struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

void sql(const std::string& path, const char* statements) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

}  // namespace store_test
