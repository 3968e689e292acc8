#include "platform/local/root/access_record.h"

#include <nlohmann/json.hpp>

#include <chrono>

#include "platform/local/files/temporary_name.h"
#include "platform/posix/user_lock.h"

namespace platform::local {

namespace {

using nlohmann::json;

constexpr std::size_t kMaxRecordBytes = 1 << 20;
// A writer holds the record's lock for one small read and write: waiting longer
// than this means the holder is stopped or hung.
constexpr std::chrono::milliseconds kLockPatience(5'000);

std::string record_path(const std::string& root) { return root + "/access.json"; }

const char* status_key(EntityType type) { return type == EntityType::event ? "events" : "reminders"; }

json read_record_json(const std::string& root) {
  // The record is the store's own: a link put in its place is not followed.
  auto contents = read_own_file(record_path(root), kMaxRecordBytes);
  if (!contents.ok()) return json::object();
  json value = json::parse(contents.value().bytes, nullptr, /*allow_exceptions=*/false);
  return value.is_object() ? value : json::object();
}

AuthorizationStatus status_from(const json& record, const char* key) {
  auto found = record.find(key);
  if (found == record.end() || !found->is_number_integer()) return AuthorizationStatus::notDetermined;
  auto status = found->get<std::int64_t>();
  return status >= 0 && status <= 4 ? static_cast<AuthorizationStatus>(status) : AuthorizationStatus::notDetermined;
}

AccessPrompt prompt_from(const json& record) {
  auto found = record.find("prompt");
  if (found == record.end()) return {};
  if (found->is_string()) {
    const auto& text = found->get_ref<const std::string&>();
    if (text == "deny") return {AccessPrompt::Kind::deny, {}};
    if (text == "ignore") return {AccessPrompt::Kind::ignore, {}};
    if (text == "drop") return {AccessPrompt::Kind::drop, {}};
    return {};
  }
  if (found->is_object()) {
    auto error = found->find("error");
    if (error != found->end() && error->is_string()) return {AccessPrompt::Kind::error, error->get<std::string>()};
  }
  return {};
}

}  // namespace

AccessRecord read_access_record(const std::string& root) {
  json record = read_record_json(root);
  return AccessRecord{status_from(record, "events"), status_from(record, "reminders"), prompt_from(record)};
}

Expected<Done, Error> write_authorization_status(const std::string& root, EntityType type, AuthorizationStatus status) {
  // Two requests answered at once must not drop each other's status. The lock
  // is the user's own file, so no one else can hold it and keep this waiting.
  std::unique_ptr<HeldLock> lock = posix::hold_user_lock("access.lock", kLockPatience, root);
  if (!lock) return Error{"无法取得授权记录的写入锁，请稍后重试。"};
  json record = read_record_json(root);
  record[status_key(type)] = static_cast<int>(status);
  std::string text = record.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
  std::string temp = temporary_path_for(record_path(root));
  if (auto written = write_new_file(temp, text, std::nullopt); !written.ok()) {
    return Error{"无法保存授权记录：" + written.error().describe()};
  }
  if (auto renamed = rename_path(temp, record_path(root)); !renamed.ok()) {
    remove_file(temp);
    return Error{"无法保存授权记录：" + renamed.error().describe()};
  }
  sync_directory(root);
  return Done{};
}

}  // namespace platform::local
