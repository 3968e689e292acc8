#include <gtest/gtest.h>

#include "local_store/store_folder.h"
#include "platform/local/local_platform.h"

namespace {

struct UrlCase {
  const char* text;
  bool accepted;
};

class UrlWithStringTest : public testing::TestWithParam<UrlCase> {};

TEST_P(UrlWithStringTest, AcceptsWhatAUrlMayHold) {
  store_test::StoreFolder folder;
  platform::local::LocalPlatform platform(folder.root());
  auto url = platform.url_with_string(GetParam().text);
  EXPECT_EQ(url.has_value(), GetParam().accepted);
  if (url) {
    EXPECT_EQ(url->absolute_string, GetParam().text);
  }
}

const UrlCase kUrlCases[] = {
    {"zolt-task:task-1", true},
    {"zolt-task:", true},
    {"https://example.com/a?b=c&d=%20#frag", true},
    {"mailto:someone@example.com", true},
    {"x+y.z-w:rest", true},
    {"http://[::1]:80/", true},
    {"", false},
    {"no-scheme", false},
    {":nothing-before", false},
    {"1http://example.com", false},
    {"ht tp://example.com", false},
    {"zolt-task:has space", false},
    {"zolt-task:quote\"", false},
    {"zolt-task:caf\xc3\xa9", false},
    {"zolt-task:%zz", false},
    {"zolt-task:%4", false},
    {"https://a/#one#two", false},
    {"https://a/<b>", false},
};

INSTANTIATE_TEST_SUITE_P(Texts, UrlWithStringTest, testing::ValuesIn(kUrlCases));

}  // namespace
