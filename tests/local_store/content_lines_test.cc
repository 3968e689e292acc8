#include <gtest/gtest.h>

#include "platform/local/ical/content_lines.h"

namespace {

using platform::local::split_content_lines;
using platform::local::unfolded_line;

struct LinesCase {
  const char* name;
  std::string text;
  std::vector<std::string> names;       // upper case, with the component for BEGIN/END as "BEGIN VTODO"
  std::vector<std::string> unfolded;
};

class ContentLinesTest : public testing::TestWithParam<LinesCase> {};

TEST_P(ContentLinesTest, LocatesLogicalLines) {
  const std::string& text = GetParam().text;
  auto lines = split_content_lines(text);
  std::vector<std::string> names, unfolded;
  std::size_t covered = 0;
  for (const auto& line : lines) {
    names.push_back(line.component.empty() ? line.name : line.name + " " + line.component);
    unfolded.push_back(unfolded_line(text, line));
    EXPECT_LE(covered, line.begin);
    covered = line.end;
  }
  EXPECT_EQ(names, GetParam().names);
  EXPECT_EQ(unfolded, GetParam().unfolded);
}

const LinesCase kLinesCases[] = {
    {"CrLf", "BEGIN:VTODO\r\nSUMMARY:a\r\nEND:VTODO\r\n", {"BEGIN VTODO", "SUMMARY", "END VTODO"},
     {"BEGIN:VTODO", "SUMMARY:a", "END:VTODO"}},
    {"LfAndNoFinalBreak", "begin: vtodo \nx-a;P=\"q:r\":v\nend:vtodo", {"BEGIN VTODO", "X-A", "END VTODO"},
     {"begin: vtodo ", "x-a;P=\"q:r\":v", "end:vtodo"}},
    {"FoldedValue", "DESCRIPTION:one\r\n two\r\n\tthree\r\n", {"DESCRIPTION"}, {"DESCRIPTION:onetwothree"}},
    {"FoldedName", "DTST\r\n ART:20250101\r\n", {"DTSTART"}, {"DTSTART:20250101"}},
    {"BlankLinesSkipped", "A:1\r\n\r\n\r\nB:2\r\n", {"A", "B"}, {"A:1", "B:2"}},
    // Found by fuzzing: libical ends a name at ":" or ";" only, so these begin nothing.
    {"NameNotEndedByColon", "BEGIN':VTODO\r\nSUMMARY x:a\r\nDUE;VALUE=DATE:20250101\r\n", {"", "", "DUE"},
     {"BEGIN':VTODO", "SUMMARY x:a", "DUE;VALUE=DATE:20250101"}},
};

INSTANTIATE_TEST_SUITE_P(Texts, ContentLinesTest, testing::ValuesIn(kLinesCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ComponentsNest, OnlyWhenEveryEndClosesItsBegin) {
  struct Case {
    const char* text;
    bool nests;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"", true},
           {"BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nBEGIN:VALARM\r\nEND:VALARM\r\nEND:VTODO\r\nEND:VCALENDAR\r\n", true},
           {"begin:vtodo\nEND:VTODO\n", true},
           {"BEGIN:VTODO\r\nEND:VEVENT\r\n", false},
           {"BEGIN:VTODO\r\nEND:VTODO\r\nEND:VTODO\r\n", false},
           {"BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nEND:VCALENDAR\r\n", false},
           {"BEGIN:VTODO\r\n", false},
           {"END:VTODO\r\n", false}}) {
    EXPECT_EQ(platform::local::components_nest(split_content_lines(c.text)), c.nests) << c.text;
  }
}

}  // namespace
