#include "platform/local/root/access_record.h"

#include <nlohmann/json.hpp>

#include <random>

#include "platform/local/files/folder_lock.h"

namespace platform::local {

namespace {

using nlohmann::json;

constexpr std::size_t kMaxRecordBytes = 1 << 20;

std::string record_path(const std::string& root) { return root + "/access.json"; }

const char* status_key(EntityType type) { return type == EntityType::event ? "events" : "reminders"; }

json read_record_json(const std::string& root) {
  auto contents = read_file(record_path(root), kMaxRecordBytes);
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

SysResult<Done> write_authorization_status(const std::string& root, EntityType type, AuthorizationStatus status) {
  // Two requests answered at once must not drop each other's status.
  FolderLock lock(root);
  json record = read_record_json(root);
  record[status_key(type)] = static_cast<int>(status);
  std::string text = record.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
  std::string temp = root + "/.access.json.tmp-" + std::to_string(std::random_device{}());
  if (auto written = write_new_file(temp, text, std::nullopt); !written.ok()) return written.error();
  if (auto renamed = rename_path(temp, record_path(root)); !renamed.ok()) {
    remove_file(temp);
    return renamed;
  }
  sync_directory(root);
  return Done{};
}

}  // namespace platform::local
