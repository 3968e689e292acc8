#include <gtest/gtest.h>

#include "calendar/reminders/reminder_request.h"

namespace {

using bridge::Json;
using bridge::reminders::ReminderField;

// Whether a save of the request writes the field, as the save decides it.
bool writes(const Json& params, ReminderField field, bool has_target) {
  return bridge::reminders::read_reminder_request(params).writes(field, has_target);
}

struct FieldCase {
  const char* request;   // the value of "title", nullptr: the key is absent
  const char* previous;  // the value of "previousFields"."title", nullptr: absent
  bool write;
};

Json params_of(const FieldCase& c) {
  Json params = Json::object();
  if (c.request) params["title"] = Json::parse(c.request);
  params["previousFields"] = Json::object();
  if (c.previous) params["previousFields"]["title"] = Json::parse(c.previous);
  return params;
}

TEST(ShouldWriteField, WritesExactlyTheValuesThatDifferFromTheLastSynchronisedOnes) {
  const FieldCase cases[] = {
      {R"("a")", R"("a")", false},
      {R"("a")", R"("b")", true},
      {R"("a")", R"("a ")", true},
      {R"("")", "null", true},
      {nullptr, nullptr, false},
      {nullptr, "null", false},
      {"null", nullptr, false},
      {R"("a")", nullptr, true},
      {nullptr, R"("a")", true},
      {"true", "true", false},
      {"true", "false", true},
      {"0", "false", true},
      {"1", "true", true},
      {"1", "1", false},
      {"1", "1.0", true},
      {"1.0", "1.0", false},
      {"1.0", "1", true},
      {"2.5", "2.5", false},
      {"-1", "-1", false},
      {"-1", "1", true},
      {"-1", "-1.0", true},
      {"0", "-0", false},
      {"18446744073709551615", "18446744073709551615", false},
      {"18446744073709551615", "-1", true},
      {"9223372036854775807", "9223372036854775807", false},
      {R"("1")", "1", true},
      {"[1,2]", "[1,2]", false},
      {"[1,2]", "[2,1]", true},
      {"[1]", "[1.0]", true},
      {"[1]", "[1,1]", true},
      {"[]", "null", true},
      {"[]", "{}", true},
      {R"({"a":1,"b":[2]})", R"({"b":[2],"a":1})", false},
      {R"({"a":1})", R"({"a":1,"b":null})", true},
      {R"({"a":1})", R"({"b":1})", true},
      {R"([{"end":{"count":3}}])", R"([{"end":{"count":3}}])", false},
      {R"([{"end":{"count":3}}])", R"([{"end":{"count":3.0}}])", true},
  };
  for (const FieldCase& c : cases) {
    Json params = params_of(c);
    EXPECT_EQ(writes(params, ReminderField::title, true), c.write) << params.dump();
  }
}

TEST(ShouldWriteField, IntegersCompareByValueWhateverTheirStoredSign) {
  Json params = Json::parse(R"({"previousFields":{"priority":5}})");  // parsed: unsigned
  params["priority"] = static_cast<std::int64_t>(5);                 // built: signed
  EXPECT_FALSE(writes(params, ReminderField::priority, true));
  params["priority"] = static_cast<std::int64_t>(-5);
  EXPECT_TRUE(writes(params, ReminderField::priority, true));
}

TEST(ShouldWriteField, EverythingIsWrittenForANewReminderOrWithoutPreviousFields) {
  const struct {
    const char* params;
    bool has_target;
    bool write;
  } cases[] = {
      {R"({"title":"a","previousFields":{"title":"a"}})", false, true},
      {R"({"title":"a"})", true, true},
      {R"({"title":"a","previousFields":null})", true, true},
      {R"({})", true, true},
      // a "previousFields" that is no object holds no values: only a non-null request differs
      {R"({"title":"a","previousFields":[]})", true, true},
      {R"({"previousFields":"x"})", true, false},
      {R"({"title":null,"previousFields":5})", true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(writes(Json::parse(c.params), ReminderField::title, c.has_target), c.write) << c.params;
  }
  EXPECT_TRUE(writes(Json::array(), ReminderField::title, true));  // a request that is no object
}

}  // namespace
