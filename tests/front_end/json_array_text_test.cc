// A long array written on a second thread while its values are made: the text is
// exactly the whole array's dump, at every batch boundary, with values filled into
// slots that held others before.

#include <gtest/gtest.h>

#include "calendar/command/json_array_text.h"

namespace {

using bridge::Json;
using bridge::JsonArrayText;

// Values whose keys and kinds change from one to the next, so that a slot refilled
// in place would show what its last value left if the filling forgot a key.
Json value_at(std::size_t i) {
  Json value = Json::object();
  value["i"] = i;
  value["text"] = i % 3 == 0 ? Json(std::string(i % 50, 'x') + "\xe4\xb8\xad\n\"") : Json(nullptr);
  value["list"] = i % 4 == 0 ? Json::array({1, "two", nullptr}) : Json::array();
  return value;
}

TEST(JsonArrayText, TheTextIsTheArraysDump) {
  for (std::size_t count : {1u, 2u, 255u, 256u, 257u, 512u, 513u, 2000u}) {
    SCOPED_TRACE(count);
    Json whole = Json::array();
    JsonArrayText text(count);
    for (std::size_t i = 0; i < count; ++i) {
      const Json value = value_at(i);
      whole.push_back(value);
      // Filled key by key into whatever the slot held, as a caller refilling it does.
      Json& slot = text.next();
      if (!slot.is_object()) slot = Json::object();
      for (auto part = value.begin(); part != value.end(); ++part) slot[part.key()] = *part;
    }
    auto written = text.finish();
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(written.value(), whole.dump());
  }
}

TEST(JsonArrayText, AValueWithoutATextFailsWithTheLibrarysMessage) {
  std::string message;
  try {
    (void)Json("bad \xff").dump();
  } catch (const Json::exception& error) {
    message = error.what();
  }
  ASSERT_FALSE(message.empty());
  for (std::size_t bad_at : {0u, 300u, 999u}) {
    SCOPED_TRACE(bad_at);
    JsonArrayText text(1000);
    for (std::size_t i = 0; i < 1000; ++i) text.next() = i == bad_at ? Json("bad \xff") : Json(i);
    auto written = text.finish();
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().message, message);
  }
}

TEST(JsonArrayText, LeftUnfinishedItStopsItsWriter) {
  // A command that fails halfway drops the text; nothing waits for it.
  for (std::size_t made : {0u, 10u, 700u}) {
    JsonArrayText text(5000);
    for (std::size_t i = 0; i < made; ++i) text.next() = Json(i);
  }
}

}  // namespace
