#pragma once

#include "calendar/command/command_outcome.h"

// A handler's reply read back as a value, as the caller would read its text.
inline bridge::Json reply_json(const bridge::CommandOutcome& outcome) {
  return bridge::Json::parse(bridge::CommandOutcome(outcome).reply_text().value());
}
