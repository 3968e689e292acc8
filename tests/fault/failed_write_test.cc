// Writes the system refuses: a file-size limit, a full file system, a folder
// that is read-only by its permission bits or by its mount. Each command fails
// with the error's text, the old file stays byte for byte, no file is left over.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "fault/fault_store.h"
#include "fault/mount_sandbox.h"
#include "fault/spawned_bridge.h"
#include "support/temp_folder.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

const std::string kOld = fault::todo_text("victim", "old title", "old notes");

std::string update_request(std::size_t notes_size) {
  return json{{"listIds", {"inbox"}}, {"listId", "inbox"}, {"id", "inbox/victim"}, {"title", "new title"},
              {"notes", std::string(notes_size, 'n')}}
      .dump();
}

std::string create_request() {
  return json{{"listIds", {"inbox"}}, {"listId", "inbox"}, {"clientId", "fresh"}, {"title", "fresh"}}.dump();
}

const std::string kDeleteRequest = R"({"listIds":["inbox"],"id":"inbox/victim"})";

std::string literal(const std::string& text) {
  return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

// The message of a write into a temporary file of `folder` that failed in `call`.
std::string temp_write_failure(const fs::path& folder, const std::string& item, const std::string& call,
                               const std::string& reason) {
  std::string hidden = "\\." + (item.empty() ? std::string("[0-9a-f-]{36}") : item) + "\\.ics\\.[0-9a-f-]{36}\\.tmp";
  return "无法保存提醒事项：" + call + " " + literal(folder.string()) + "/" + hidden + ": " + reason + "\n";
}

void expect_failure_matching(const cli::RunResult& r, const std::string& pattern) {
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(std::regex_match(r.err, std::regex(pattern))) << r.err << "\ndoes not match\n" << pattern;
}

// Reading needs no space and no write permission, index or not.
void expect_readable(const fault::FaultStore& store) {
  cli::RunResult read = store.run("reminders-read", R"({"listIds":["inbox"]})");
  EXPECT_EQ(read.exit_status, 0) << read.err;
  EXPECT_EQ(read.err, "");
  auto records = nlohmann::json::parse(read.out, nullptr, false);
  ASSERT_TRUE(records.is_array()) << read.out;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["title"], "old title");
}

void expect_untouched(const fault::FaultStore& store) {
  std::ifstream file(store.folder() / "victim.ics", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, kOld);
  EXPECT_EQ(store.items().size(), 1u);
  EXPECT_EQ(store.strays(), std::vector<std::string>{});
}

TEST(FailedWrite, FileSizeLimitFailsTheSaveAndKeepsTheOldFile) {
  test_support::TempFolder dir;
  fault::FaultStore store(dir.path() / "store");
  store.write_item("victim", kOld);
  for (const std::string& input : {update_request(20000), create_request()}) {
    fault::SpawnOptions options;
    options.args = {"reminders-save"};
    options.stdin_path = fault::request_file(dir.path(), input);
    options.env = store.env();
    options.file_size_limit = input == create_request() ? 100 : 8192;
    fault::Finished end = fault::run_to_end(options);
    EXPECT_EQ(end.signal, 0);
    cli::RunResult r{end.exit_status, end.signal, false, true, end.out, end.err};
    expect_failure_matching(r, temp_write_failure(store.folder(), input == create_request() ? "" : "victim", "write",
                                                  "File too large"));
    expect_untouched(store);
  }
}

TEST(FailedWrite, FullFileSystemFailsSavesAndStillDeletes) {
  test_support::TempFolder dir;
  std::string why_not;
  auto sandbox = fault::MountSandbox::tmpfs(dir.str(), 256 * 1024, why_not);
  if (!sandbox) GTEST_SKIP() << why_not;
  fault::FaultStore store(sandbox->view(dir.str()) + "/store");
  store.write_item("victim", kOld);
  {
    std::ofstream filler(sandbox->view(dir.str()) + "/filler", std::ios::binary);
    std::string block(4096, 'f');
    while (filler.write(block.data(), block.size()) && filler.flush()) {
    }
  }
  expect_readable(store);
  expect_failure_matching(store.run("reminders-save", update_request(20000)),
                          temp_write_failure(store.folder(), "victim", "write", "No space left on device"));
  expect_untouched(store);
  expect_failure_matching(store.run("reminders-save", create_request()),
                          temp_write_failure(store.folder(), "", "write", "No space left on device"));
  expect_untouched(store);

  // Removing needs no space.
  cli::RunResult removed = store.run("reminders-delete", kDeleteRequest);
  EXPECT_EQ(removed.exit_status, 0) << removed.err;
  EXPECT_EQ(removed.out, "null\n");
  EXPECT_EQ(store.items().size(), 0u);
}

TEST(FailedWrite, ReadOnlyListIsRefusedBeforeAnyWrite) {
  test_support::TempFolder dir;
  fault::FaultStore store(dir.path() / "store");
  store.write_item("victim", kOld);
  fs::permissions(store.folder(), fs::perms::owner_write, fs::perm_options::remove);
  cli::RunResult saved = store.run("reminders-save", update_request(10));
  EXPECT_EQ(saved.exit_status, 1);
  EXPECT_EQ(saved.out, "");
  EXPECT_EQ(saved.err, "提醒事项列表只读\n");
  cli::RunResult removed = store.run("reminders-delete", kDeleteRequest);
  EXPECT_EQ(removed.exit_status, 1);
  EXPECT_EQ(removed.out, "");
  EXPECT_EQ(removed.err, "提醒事项列表「Inbox」是只读的，不能修改。\n");
  expect_untouched(store);
}

TEST(FailedWrite, ReadOnlyMountFailsWritesWithTheSystemsText) {
  test_support::TempFolder dir;
  fault::FaultStore made(dir.path() / "store");
  made.write_item("victim", kOld);
  // A write before the mount leaves the lock file, which serves on the read-only mount too.
  EXPECT_EQ(made.run("reminders-delete", R"({"listIds":["inbox"],"id":"inbox/none"})").out, "null\n");
  std::string why_not;
  auto sandbox = fault::MountSandbox::read_only(dir.str(), why_not);
  if (!sandbox) GTEST_SKIP() << why_not;
  fault::FaultStore store(sandbox->view(dir.str()) + "/store", false);
  expect_readable(store);

  expect_failure_matching(store.run("reminders-save", update_request(10)),
                          temp_write_failure(store.folder(), "victim", "open", "Read-only file system"));
  expect_failure_matching(store.run("reminders-save", create_request()),
                          temp_write_failure(store.folder(), "", "open", "Read-only file system"));
  cli::RunResult removed = store.run("reminders-delete", kDeleteRequest);
  EXPECT_EQ(removed.exit_status, 1);
  EXPECT_EQ(removed.out, "");
  EXPECT_EQ(removed.err, "无法删除提醒事项：rename " + store.folder().string() + "/victim.ics: Read-only file system\n");
  expect_untouched(store);
}

}  // namespace
