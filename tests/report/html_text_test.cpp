// The report page's text, byte for byte.
#include "report/html_text.h"

#include <gtest/gtest.h>

#include "report/comma_locale.h"

namespace {

TEST(HtmlText, EscapedBytes) {
  const struct {
    std::string bytes;
    std::string html;
  } cases[] = {
      {"IMG_0001.JPG", "IMG_0001.JPG"},
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"a&b \"c\" 'd'", "a&amp;b &quot;c&quot; &#39;d&#39;"},
      {"&amp;", "&amp;amp;"},
      {std::string("\0\x01\t\n\x1f\x7f", 6), "&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;"},
      // Bytes of other characters stay, to be read in the page's charset.
      {"\xc3\x84ra \xd3\xb0\xcf\xf1 \x80\xff", "\xc3\x84ra \xd3\xb0\xcf\xf1 \x80\xff"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapedBytes(c.bytes), c.html) << testing::PrintToString(c.bytes);
  }
}

TEST(HtmlText, OwnTextIsAscii) {
  const struct {
    const char* utf8;
    const char* html;
  } cases[] = {
      {"exit status", "exit status"},
      {"\xe7\xbb\x93\xe8\xae\xba", "&#x7ED3;&#x8BBA;"},  // 结论
      {"\xc3\x84", "&#xC4;"},                            // Ä
      {"N \xe2\x86\x91", "N &#x2191;"},                  // N ↑
      {"\xf0\x9f\x93\xb7", "&#x1F4F7;"},                 // a camera, four bytes
      {"\xef\xbc\x9a", "&#xFF1A;"},                      // ：
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(OwnText(c.utf8), c.html) << c.utf8;
}

TEST(HtmlText, Numbers) {
  EXPECT_EQ(Decimal(900, 0), "900");
  EXPECT_EQ(Decimal(127, 1), "127.0");
  EXPECT_EQ(Decimal(0.5, 2), "0.50");
  EXPECT_EQ(Decimal(-3.26, 1), "-3.3");
  const struct {
    double value;
    const char* text;
  } tenths[] = {{0, "0.0"},      {12.34, "12.3"}, {12.36, "12.4"},   {-0.04, "0.0"},
                {-0.06, "-0.1"}, {-7.5, "-7.5"},  {599.99, "600.0"}, {30, "30.0"}};
  for (const auto& c : tenths) EXPECT_EQ(Tenths(c.value), c.text) << c.value;
}

TEST(HtmlText, Base64) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {std::string("\xff\xd8\xff\x00", 4), "/9j/AA=="},
      {std::string("\xfb\xef\xbe", 3), "++++"},
  };
  for (const auto& c : cases) EXPECT_EQ(Base64(c.first), c.second) << c.first;
}

TEST(HtmlText, NumbersIgnoreTheLocale) {
  std::string numbers;
  {
    const testsupport::CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no locale with a decimal comma on this system";
    numbers = Decimal(127, 1) + " " + Decimal(0.5, 2) + " " + Tenths(-12.34);
  }
  EXPECT_EQ(numbers, "127.0 0.50 -12.3");
}

}  // namespace
