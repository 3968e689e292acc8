#include <gtest/gtest.h>

#include <filesystem>

#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

using platform::EntityType;
using platform::RgbComponents;
using store_test::StoreFolder;

std::vector<std::string> identifiers(const std::vector<platform::CalendarRef>& calendars) {
  std::vector<std::string> ids;
  for (const auto& c : calendars) ids.push_back(c->identifier);
  return ids;
}

TEST(Collections, ServedKindsInByteOrderOfFolderName) {
  StoreFolder folder;
  folder.add_collection("work", "", "VEVENT\n");
  folder.add_collection("Zeta", "", "VTODO");
  folder.add_collection("a-b", "", "VTODO\nVEVENT\n");
  folder.add_collection("both");
  folder.add_collection("journal", "", "VJOURNAL\n");
  folder.add_collection(".hidden");
  folder.write("stray.ics", "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
  folder.write("access.json", "{}");
  platform::local::LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  EXPECT_EQ(identifiers(store->calendars_for_entity_type(EntityType::event)),
            (std::vector<std::string>{"a-b", "both", "work"}));
  EXPECT_EQ(identifiers(store->calendars_for_entity_type(EntityType::reminder)),
            (std::vector<std::string>{"Zeta", "a-b", "both"}));
}

TEST(Collections, MetadataFilesAndTheirAbsence) {
  StoreFolder folder;
  folder.add_collection("full", "Work things\n", "VEVENT", "#ff8000\n");
  folder.write("full/source", "Office account\n");
  folder.add_collection("bare", "", "VEVENT");
  folder.add_collection("crlf", "Windows\r\n", "VEVENT\r\n", "#00FF0080\r\n");
  folder.add_collection("bad", "caf\xff", "VEVENT", "orange");
  platform::local::LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  auto calendars = store->calendars_for_entity_type(EntityType::event);
  ASSERT_EQ(calendars.size(), 4u);
  const auto& bad = *calendars[0];
  const auto& bare = *calendars[1];
  const auto& crlf = *calendars[2];
  const auto& full = *calendars[3];

  EXPECT_EQ(full.title, "Work things");
  EXPECT_EQ(*full.color.srgb, (RgbComponents{1.0, 128 / 255.0, 0.0}));
  ASSERT_TRUE(full.source.has_value());
  EXPECT_EQ(full.source->title, "Office account");
  EXPECT_TRUE(full.allows_content_modifications);

  EXPECT_EQ(bare.title, "bare");
  EXPECT_FALSE(bare.color.srgb.has_value());
  EXPECT_FALSE(bare.source.has_value());

  EXPECT_EQ(crlf.title, "Windows");
  EXPECT_EQ(*crlf.color.srgb, (RgbComponents{0.0, 1.0, 0.0}));

  EXPECT_EQ(bad.title, "caf\xef\xbf\xbd");
  EXPECT_FALSE(bad.color.srgb.has_value());
}

TEST(Collections, ReadOnlyFolderDisallowsModifications) {
  StoreFolder folder;
  folder.add_collection("locked", "", "VTODO");
  std::filesystem::permissions(folder.path("locked"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  platform::local::LocalPlatform platform(folder.root());
  auto store = platform.open_event_store();
  auto lists = store->calendars_for_entity_type(EntityType::reminder);
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_FALSE(lists[0]->allows_content_modifications);
}

struct ColorCase {
  const char* text;
  std::optional<RgbComponents> srgb;
};

class ColorTextTest : public testing::TestWithParam<ColorCase> {};

TEST_P(ColorTextTest, ParsesHexColours) {
  StoreFolder folder;
  folder.add_collection("c", "", "VEVENT", GetParam().text);
  platform::local::LocalPlatform platform(folder.root());
  auto calendars = platform.open_event_store()->calendars_for_entity_type(EntityType::event);
  ASSERT_EQ(calendars.size(), 1u);
  EXPECT_EQ(calendars[0]->color.srgb, GetParam().srgb);
}

const ColorCase kColorCases[] = {
    {"#000000", RgbComponents{0, 0, 0}},
    {"#FFFFFF", RgbComponents{1, 1, 1}},
    {"#1badf8", RgbComponents{0x1B / 255.0, 0xAD / 255.0, 0xF8 / 255.0}},
    {"#FF950000", RgbComponents{1, 0x95 / 255.0, 0}},
    {"FF9500", std::nullopt},
    {"#FF95", std::nullopt},
    {"#FF95000", std::nullopt},
    {"#GG9500", std::nullopt},
    {"#FF9500 ", std::nullopt},
    {"#FF9500\n\n", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Texts, ColorTextTest, testing::ValuesIn(kColorCases));

}  // namespace
