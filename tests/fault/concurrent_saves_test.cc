// Several bridge processes saving into one list at once: creates with distinct
// client identifiers, updates, completions, deletes and updates of one shared
// reminder. Afterwards every file must be whole, every live task present exactly
// once, no temporary file left, and a fresh read must agree with the files.
// FAULT_PROCESSES and FAULT_SAVES set the size (8 x 80 here; 8 x 200 by hand).

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <thread>

#include "fault/fault_store.h"
#include "support/temp_folder.h"

namespace {

using nlohmann::json;

struct Task {
  std::string client_id;
  std::string id;
  std::string title;
  bool completed = false;
  bool deleted = false;
};

// One process's share of the work, one bridge process per save, in turn.
class Worker {
 public:
  Worker(const fault::FaultStore& store, int number) : store_(store), number_(number), random_(number * 7919 + 1) {}

  void run(int saves) {
    for (int step = 0; step < saves; ++step) {
      std::vector<Task*> live;
      for (Task& task : tasks_) {
        if (!task.deleted) live.push_back(&task);
      }
      int roll = std::uniform_int_distribution<int>(0, 99)(random_);
      if (live.empty() || roll < 35) {
        create(step);
      } else {
        Task& task = *live[std::uniform_int_distribution<std::size_t>(0, live.size() - 1)(random_)];
        if (roll < 60) rename(task, step);
        else if (roll < 80) complete(task);
        else if (roll < 90) remove(task);
        else rename_shared(step);
      }
    }
  }

  const std::vector<Task>& tasks() const { return tasks_; }
  const std::vector<std::string>& faults() const { return faults_; }

 private:
  json request(const Task& task, bool by_id) const {
    json r = {{"listIds", {"inbox"}}, {"listId", "inbox"}, {"clientId", task.client_id}, {"title", task.title},
              {"completed", task.completed}};
    if (by_id) r["id"] = task.id;
    return r;
  }

  // The saved record, or null after noting what went wrong.
  json save(const json& input, const std::string& what) {
    cli::RunResult r = store_.run("reminders-save", input.dump());
    if (r.exit_status != 0 || !r.err.empty() || r.out.empty() || r.out.back() != '\n') {
      faults_.push_back(what + ": exit " + std::to_string(r.exit_status) + " " + r.err);
      return nullptr;
    }
    return json::parse(r.out);
  }

  void check(const json& record, const Task& task, const std::string& what) {
    if (record.is_null()) return;
    if (record["clientId"] != task.client_id || record["title"] != task.title || record["completed"] != task.completed ||
        (!task.id.empty() && record["id"] != task.id)) {
      faults_.push_back(what + ": record " + record.dump());
    }
  }

  void create(int step) {
    Task task{"w" + std::to_string(number_) + "-" + std::to_string(step), "", "created " + std::to_string(step)};
    json record = save(request(task, false), "create " + task.client_id);
    check(record, task, "create " + task.client_id);
    if (record.is_object() && record["id"].is_string()) task.id = record["id"];
    tasks_.push_back(task);
  }

  void rename(Task& task, int step) {
    std::string old_title = task.title;
    task.title = "renamed " + std::to_string(step);
    bool by_id = step % 2 == 0;
    json input = request(task, by_id);
    // Every other update names only what changed, as the application does.
    if (step % 3 == 0) input["previousFields"] = {{"title", old_title}, {"completed", task.completed}};
    check(save(input, "update " + task.client_id), task, "update " + task.client_id);
  }

  void complete(Task& task) {
    task.completed = !task.completed;
    json input = request(task, true);
    input["previousFields"] = {{"title", task.title}, {"completed", !task.completed}};
    check(save(input, "complete " + task.client_id), task, "complete " + task.client_id);
  }

  void remove(Task& task) {
    json input = {{"listIds", {"inbox"}}, {"id", task.id}, {"clientId", task.client_id}};
    cli::RunResult r = store_.run("reminders-delete", input.dump());
    if (r.exit_status != 0 || r.out != "null\n" || !r.err.empty()) {
      faults_.push_back("delete " + task.client_id + ": exit " + std::to_string(r.exit_status) + " " + r.out + r.err);
    }
    task.deleted = true;
  }

  void rename_shared(int step) {
    std::string title = "shared w" + std::to_string(number_) + " " + std::to_string(step);
    json input = {{"listIds", {"inbox"}}, {"listId", "inbox"}, {"id", "inbox/shared"}, {"title", title},
                  {"previousFields", {{"title", "before"}}}};
    json record = save(input, "update shared");
    if (record.is_object() && record["title"] != title) faults_.push_back("update shared: " + record.dump());
  }

  const fault::FaultStore& store_;
  int number_;
  std::mt19937 random_;
  std::vector<Task> tasks_;
  std::vector<std::string> faults_;
};

std::string client_of(const std::string& url) {
  return url.rfind("zolt-task:", 0) == 0 ? url.substr(10) : "(none)";
}

TEST(ConcurrentSaves, EveryTaskOnceEveryFileWholeNoTemporaryLeft) {
  const int processes = fault::count_from_env("FAULT_PROCESSES", 8);
  const int saves = fault::count_from_env("FAULT_SAVES", 80);
  test_support::TempFolder dir;
  fault::FaultStore store(dir.path() / "store");
  store.write_item("shared", fault::todo_text("shared", "before", "shared notes"));

  std::vector<std::unique_ptr<Worker>> workers;
  for (int i = 0; i < processes; ++i) workers.push_back(std::make_unique<Worker>(store, i));
  std::vector<std::thread> threads;
  for (auto& worker : workers) threads.emplace_back([&worker, saves] { worker->run(saves); });
  for (auto& thread : threads) thread.join();
  for (auto& worker : workers) {
    for (const std::string& fault : worker->faults()) ADD_FAILURE() << fault;
  }

  std::map<std::string, int> copies;  // client identifier -> files carrying its marker
  for (const fault::ItemFile& item : store.items()) {
    EXPECT_TRUE(item.complete) << item.name << ":\n" << item.text;
    ++copies[client_of(item.url)];
  }
  std::map<std::string, fault::ItemFile> files;
  for (fault::ItemFile& item : store.items()) files["inbox/" + item.name] = item;
  for (auto& worker : workers) {
    for (const Task& task : worker->tasks()) {
      EXPECT_EQ(copies[task.client_id], task.deleted ? 0 : 1) << task.client_id;
      if (task.deleted || !files.count(task.id)) continue;
      EXPECT_EQ(files[task.id].title, task.title) << task.client_id;
      EXPECT_EQ(files[task.id].completed, task.completed) << task.client_id;
    }
  }
  ASSERT_TRUE(files.count("inbox/shared"));
  EXPECT_EQ(files["inbox/shared"].notes, "shared notes");
  EXPECT_NE(files["inbox/shared"].text.find("X-KEEP:kept\r\n"), std::string::npos);
  EXPECT_EQ(store.strays(), std::vector<std::string>{});
  EXPECT_EQ(store.root_strays(), std::vector<std::string>{});

  // A fresh read, through the index when there is one, shows exactly the files.
  cli::RunResult read = store.run("reminders-read", R"({"listIds":["inbox"]})");
  ASSERT_EQ(read.exit_status, 0) << read.err;
  std::map<std::string, std::string> shown;
  for (const json& record : json::parse(read.out)) {
    shown[record["id"]] = record["title"].get<std::string>() + "|" + record["completed"].dump() + "|" +
                          (record["clientId"].is_string() ? record["clientId"].get<std::string>() : "(none)");
  }
  std::map<std::string, std::string> stored;
  for (auto& [id, item] : files) {
    stored[id] = item.title + "|" + (item.completed ? "true" : "false") + "|" + client_of(item.url);
  }
  EXPECT_EQ(shown, stored);
}

}  // namespace
