#include "calendar/access/access.h"

#include <chrono>
#include <variant>

#include "calendar/access/callback_channel.h"
#include "calendar/access/callback_wait.h"

namespace bridge {
namespace {

using platform::AuthorizationStatus;
using platform::EntityType;

// What the completion callback tells the waiting main thread.
struct AccessReply {
  bool granted = false;
  std::optional<std::string> error_text;  // the platform error's localized description
};

// The texts and pacing of one kind of data.
struct AccessProfile {
  double slice_seconds;
  const char* gate_closed;
  WaitMessages unanswered;
  const char* refused;
};

constexpr AccessProfile kEventAccess{
    0.2,
    "还没有 Apple 日历权限",
    {"等待 Apple 日历授权超时", "Apple 日历授权已中断"},
    "没有获得 Apple 日历权限。可以在「系统设置 → 隐私与安全性 → 日历」里允许 Zolt Calendar。",
};

constexpr AccessProfile kReminderAccess{
    0.05,
    "没有 Apple 提醒事项权限，请在系统设置中允许访问。",
    kReminderRequestMessages,
    "请在系统设置 → 隐私与安全性 → 提醒事项中允许 Zolt Calendar。",
};

constexpr std::chrono::seconds kAccessDeadline{180};

const AccessProfile& profile_of(EntityType type) {
  return type == EntityType::reminder ? kReminderAccess : kEventAccess;
}

// Sends the request with a callback that owns the only sending end, so the channel
// closes once the platform lets go of the callback, called or not.
Receiver<AccessReply> send_access_request(platform::EventStore& store, EntityType type) {
  auto [sender, receiver] = make_channel<AccessReply>();
  platform::AccessCompletion completion = [sender = std::move(sender)](bool granted,
                                                                        std::optional<platform::Error> error) {
    AccessReply reply{granted, std::nullopt};
    if (error) reply.error_text = std::move(error->localized_description);
    sender.send(std::move(reply));
  };
  if (store.responds_to_full_access_request(type)) {
    store.request_full_access(type, std::move(completion));
  } else {
    store.request_access(type, std::move(completion));
  }
  return std::move(receiver);
}

}  // namespace

Expected<Done> check_access(platform::Platform& platform, EntityType type) {
  if (platform.authorization_status(type) == AuthorizationStatus::fullAccess) return Done{};
  return Failure{profile_of(type).gate_closed};
}

Expected<Done> request_access(platform::Platform& platform, platform::EventStore& store, EntityType type) {
  const AccessProfile& profile = profile_of(type);
  Receiver<AccessReply> replies = send_access_request(store, type);
  auto waited = wait_for_answer(platform, replies, kAccessDeadline, profile.slice_seconds, profile.unanswered);
  if (!waited.ok()) return std::move(waited.error());
  AccessReply& reply = waited.value();

  if (reply.granted) {
    // A store made before the first grant may go on answering as without access.
    store.reset();
    return Done{};
  }
  if (reply.error_text) return Failure{std::move(*reply.error_text)};
  return Failure{profile.refused};
}

Json permission_report(AuthorizationStatus status) {
  bool denied = status == AuthorizationStatus::restricted || status == AuthorizationStatus::denied;
  return Json{{"authorized", status == AuthorizationStatus::fullAccess}, {"available", true}, {"denied", denied}};
}

CommandOutcome run_status_command(platform::Platform& platform) {
  Json reply = permission_report(platform.authorization_status(EntityType::event));
  reply["account"] = nullptr;
  return reply;
}

}  // namespace bridge
