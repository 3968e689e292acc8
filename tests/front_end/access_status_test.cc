#include <gtest/gtest.h>

#include "calendar/access/access.h"
#include "calendar/command/reply_output.h"
#include "double/platform_double.h"

namespace {

using double_platform::PlatformDouble;
using platform::AuthorizationStatus;
using platform::EntityType;

struct StatusCase {
  int status;
  const char* reply;
};

class StatusCommand : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusCommand, ReportsTheEventPermissionAndTouchesNothingElse) {
  PlatformDouble p;
  p.set_status(EntityType::event, AuthorizationStatus{GetParam().status});
  // The reminders permission must not leak into the report.
  p.set_status(EntityType::reminder, GetParam().status == 3 ? AuthorizationStatus::notDetermined : AuthorizationStatus::fullAccess);

  bridge::FrontEndOutput out = bridge::render_outcome(bridge::run_status_command(p));

  EXPECT_EQ(out.standard_output, GetParam().reply);
  EXPECT_EQ(out.exit_status, 0);
  EXPECT_EQ(p.counters().status_reads, 1);
  EXPECT_EQ(p.counters().stores_opened, 0);
  EXPECT_EQ(p.counters().full_access_requests + p.counters().legacy_access_requests, 0);
  EXPECT_EQ(p.counters().run_loop_slices, 0);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStatus, StatusCommand,
    testing::Values(StatusCase{0, "{\"account\":null,\"authorized\":false,\"available\":true,\"denied\":false}\n"},
                    StatusCase{1, "{\"account\":null,\"authorized\":false,\"available\":true,\"denied\":true}\n"},
                    StatusCase{2, "{\"account\":null,\"authorized\":false,\"available\":true,\"denied\":true}\n"},
                    StatusCase{3, "{\"account\":null,\"authorized\":true,\"available\":true,\"denied\":false}\n"},
                    StatusCase{4, "{\"account\":null,\"authorized\":false,\"available\":true,\"denied\":false}\n"}));

struct GateCase {
  EntityType type;
  int status;
  std::optional<std::string> message;
};

class AccessGate : public testing::TestWithParam<GateCase> {};

TEST_P(AccessGate, OpensOnlyOnFullAccessOfItsOwnKind) {
  const GateCase& c = GetParam();
  PlatformDouble p;
  EntityType other = c.type == EntityType::event ? EntityType::reminder : EntityType::event;
  p.set_status(c.type, AuthorizationStatus{c.status});
  p.set_status(other, c.status == 3 ? AuthorizationStatus::notDetermined : AuthorizationStatus::fullAccess);

  auto gate = bridge::check_access(p, c.type);
  EXPECT_EQ(!gate.ok() ? std::optional(gate.error().message) : std::nullopt, c.message);
  EXPECT_EQ(p.counters().stores_opened, 0);
}

const char* const kEventGate = "还没有 Apple 日历权限";
const char* const kReminderGate = "没有 Apple 提醒事项权限，请在系统设置中允许访问。";

INSTANTIATE_TEST_SUITE_P(EveryStatusBothKinds, AccessGate,
                         testing::Values(GateCase{EntityType::event, 0, kEventGate},
                                         GateCase{EntityType::event, 1, kEventGate},
                                         GateCase{EntityType::event, 2, kEventGate},
                                         GateCase{EntityType::event, 3, std::nullopt},
                                         GateCase{EntityType::event, 4, kEventGate},
                                         GateCase{EntityType::reminder, 0, kReminderGate},
                                         GateCase{EntityType::reminder, 1, kReminderGate},
                                         GateCase{EntityType::reminder, 2, kReminderGate},
                                         GateCase{EntityType::reminder, 3, std::nullopt},
                                         GateCase{EntityType::reminder, 4, kReminderGate}));

}  // namespace
