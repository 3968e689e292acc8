#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <nlohmann/json.hpp>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

using platform::AuthorizationStatus;
using platform::EntityType;
using platform::local::LocalPlatform;
using store_test::StoreFolder;
using nlohmann::json;

// Records how a completion was called, and on which thread it was let go.
struct Probe {
  std::mutex mutex;
  std::condition_variable changed;
  int calls = 0;
  bool granted = false;
  std::optional<platform::Error> error;
  std::thread::id caller;
  std::thread::id released_on;
  bool released = false;

  // Waits (without sleeping) until the completion was called or released.
  bool wait_for_news() {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), [&] { return calls > 0 || released; });
  }
};

// Lives inside the completion: its destruction tells when and where the platform let go.
struct ReleaseWatch {
  std::shared_ptr<Probe> probe;
  explicit ReleaseWatch(std::shared_ptr<Probe> p) : probe(std::move(p)) {}
  ReleaseWatch(ReleaseWatch&& other) noexcept : probe(std::move(other.probe)) {}
  ~ReleaseWatch() {
    if (!probe) return;
    std::lock_guard lock(probe->mutex);
    probe->released = true;
    probe->released_on = std::this_thread::get_id();
    probe->changed.notify_all();
  }
};

platform::AccessCompletion completion_for(const std::shared_ptr<Probe>& probe) {
  auto watch = std::make_shared<ReleaseWatch>(probe);
  return [probe, watch](bool granted, std::optional<platform::Error> error) {
    std::lock_guard lock(probe->mutex);
    ++probe->calls;
    probe->granted = granted;
    probe->error = std::move(error);
    probe->caller = std::this_thread::get_id();
    probe->changed.notify_all();
  };
}

json read_record(const StoreFolder& folder) { return json::parse(folder.read("access.json")); }

struct AccessCase {
  const char* name;
  int status;
  json prompt;  // null: no "prompt" key
  bool granted;
  std::optional<std::string> error;
  int status_after;
};

class AccessRequestTest : public testing::TestWithParam<std::tuple<AccessCase, EntityType>> {};

TEST_P(AccessRequestTest, AnswersOnAnotherThreadAndRecordsTheAnswer) {
  const auto& [c, type] = GetParam();
  StoreFolder folder;
  const char* mine = type == EntityType::event ? "events" : "reminders";
  const char* other = type == EntityType::event ? "reminders" : "events";
  json record = {{mine, c.status}, {other, 1}, {"note", {1, "two"}}};
  if (!c.prompt.is_null()) record["prompt"] = c.prompt;
  folder.write("access.json", record.dump());

  LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  auto probe = std::make_shared<Probe>();
  store->request_full_access(type, completion_for(probe));
  ASSERT_TRUE(probe->wait_for_news());

  EXPECT_EQ(probe->calls, 1);
  EXPECT_NE(probe->caller, std::this_thread::get_id());
  EXPECT_EQ(probe->granted, c.granted);
  EXPECT_EQ(probe->error.has_value(), c.error.has_value());
  if (probe->error && c.error) {
    EXPECT_EQ(probe->error->localized_description, *c.error);
  }
  EXPECT_EQ(platform.authorization_status(type), AuthorizationStatus{c.status_after});

  json after = read_record(folder);
  EXPECT_EQ(after[other], 1);
  EXPECT_EQ(after["note"], json({1, "two"}));
  if (!c.prompt.is_null()) {
    EXPECT_EQ(after["prompt"], c.prompt);
  }
}

const AccessCase kAccessCases[] = {
    {"NotDeterminedDefaultGrants", 0, nullptr, true, std::nullopt, 3},
    {"NotDeterminedGrant", 0, "grant", true, std::nullopt, 3},
    {"NotDeterminedDeny", 0, "deny", false, std::nullopt, 2},
    {"NotDeterminedError", 0, {{"error", "管理员已禁止访问"}}, false, "管理员已禁止访问", 0},
    {"WriteOnlyGrant", 4, "grant", true, std::nullopt, 3},
    {"WriteOnlyDeny", 4, "deny", false, std::nullopt, 2},
    {"WriteOnlyError", 4, {{"error", "no"}}, false, "no", 4},
    {"FullAccessAnswersGrantedWithoutAsking", 3, "deny", true, std::nullopt, 3},
    {"RestrictedRefusesWithoutError", 1, "grant", false, std::nullopt, 1},
    {"DeniedRefusesWithoutError", 2, "grant", false, std::nullopt, 2},
    {"DeniedIgnoresErrorPrompt", 2, {{"error", "x"}}, false, std::nullopt, 2},
    {"UnknownPromptCountsAsGrant", 0, "maybe", true, std::nullopt, 3},
};

INSTANTIATE_TEST_SUITE_P(
    Prompts, AccessRequestTest,
    testing::Combine(testing::ValuesIn(kAccessCases), testing::Values(EntityType::event, EntityType::reminder)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) +
             (std::get<1>(info.param) == EntityType::event ? "Events" : "Reminders");
    });

TEST(AccessRequest, LegacyRequestAnswersLikeTheFullAccessRequest) {
  StoreFolder folder;
  folder.write("access.json", R"({"prompt":"deny"})");
  LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  EXPECT_TRUE(store->responds_to_full_access_request(EntityType::event));
  auto probe = std::make_shared<Probe>();
  store->request_access(EntityType::reminder, completion_for(probe));
  ASSERT_TRUE(probe->wait_for_news());
  EXPECT_FALSE(probe->granted);
  EXPECT_EQ(platform.authorization_status(EntityType::reminder), AuthorizationStatus{2});
  EXPECT_EQ(platform.authorization_status(EntityType::event), AuthorizationStatus{0});
}

TEST(AccessRequest, MissingRecordIsCreatedOnGrant) {
  StoreFolder folder;
  LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  auto probe = std::make_shared<Probe>();
  store->request_full_access(EntityType::event, completion_for(probe));
  ASSERT_TRUE(probe->wait_for_news());
  EXPECT_TRUE(probe->granted);
  EXPECT_EQ(read_record(folder), json({{"events", 3}}));
}

TEST(AccessRequest, DropReleasesTheCompletionUncalledOnAnotherThread) {
  StoreFolder folder;
  folder.write("access.json", R"({"prompt":"drop"})");
  LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  auto probe = std::make_shared<Probe>();
  store->request_full_access(EntityType::event, completion_for(probe));
  ASSERT_TRUE(probe->wait_for_news());
  std::lock_guard lock(probe->mutex);
  EXPECT_EQ(probe->calls, 0);
  EXPECT_TRUE(probe->released);
  EXPECT_NE(probe->released_on, std::this_thread::get_id());
  EXPECT_EQ(platform.authorization_status(EntityType::event), AuthorizationStatus{0});
}

TEST(AccessRequest, IgnoreHoldsTheCompletionUntilTheStoreGoes) {
  StoreFolder folder;
  folder.write("access.json", R"({"prompt":"ignore","events":4})");
  LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  auto probe = std::make_shared<Probe>();
  store->request_full_access(EntityType::event, completion_for(probe));
  // A short run-loop slice passes without news.
  platform.run_main_loop_until(platform::Date{platform.now().seconds_since_1970 + 0.005});
  {
    std::lock_guard lock(probe->mutex);
    EXPECT_EQ(probe->calls, 0);
    EXPECT_FALSE(probe->released);
  }
  store.reset();
  std::lock_guard lock(probe->mutex);
  EXPECT_EQ(probe->calls, 0);
  EXPECT_TRUE(probe->released);
  EXPECT_EQ(platform.authorization_status(EntityType::event), AuthorizationStatus{4});
}

TEST(AccessRequest, RunLoopReturnsOnceTheAnswerCame) {
  StoreFolder folder;
  LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  auto probe = std::make_shared<Probe>();
  store->request_full_access(EntityType::event, completion_for(probe));
  platform::Date far{platform.now().seconds_since_1970 + 60};
  platform.run_main_loop_until(far);
  EXPECT_LT(platform.now(), far);
  std::lock_guard lock(probe->mutex);
  EXPECT_EQ(probe->calls, 1);
}

TEST(AccessRequest, RunLoopReturnsForAnAnswerThatCameBeforeItRan) {
  StoreFolder folder;
  LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  auto probe = std::make_shared<Probe>();
  store->request_full_access(EntityType::event, completion_for(probe));
  ASSERT_TRUE(probe->wait_for_news());
  platform::Date far{platform.now().seconds_since_1970 + 60};
  platform.run_main_loop_until(far);
  EXPECT_LT(platform.now(), far);
}

TEST(AccessRequest, ARecordThatIsALinkIsNotFollowed) {
  StoreFolder folder;
  folder.write("elsewhere.json", R"({"events":3,"reminders":3})");
  std::filesystem::create_symlink(folder.path("elsewhere.json"), folder.path("access.json"));
  LocalPlatform platform(folder.root());
  EXPECT_EQ(platform.authorization_status(EntityType::event), AuthorizationStatus{0});
  EXPECT_EQ(platform.authorization_status(EntityType::reminder), AuthorizationStatus{0});
}

TEST(AccessRequest, UnwritableRecordRefusesWithTheReason) {
  StoreFolder folder;
  folder.write("access.json", R"({"reminders":1})");
  LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  auto probe = std::make_shared<Probe>();
  // A file size limit makes the write fail, whatever the permissions of the process.
  struct rlimit old_limit;
  ::getrlimit(RLIMIT_FSIZE, &old_limit);
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tiny = old_limit;
  tiny.rlim_cur = 4;
  ::setrlimit(RLIMIT_FSIZE, &tiny);
  store->request_full_access(EntityType::event, completion_for(probe));
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  ASSERT_TRUE(probe->wait_for_news());
  EXPECT_FALSE(probe->granted);
  ASSERT_TRUE(probe->error.has_value());
  EXPECT_EQ(probe->error->localized_description.rfind("无法保存授权记录：write ", 0), 0u)
      << probe->error->localized_description;
  EXPECT_NE(probe->error->localized_description.find("File too large"), std::string::npos);
  EXPECT_EQ(folder.read("access.json"), R"({"reminders":1})");
  EXPECT_EQ(platform.authorization_status(EntityType::event), AuthorizationStatus{0});
}

}  // namespace
