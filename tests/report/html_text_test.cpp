// The report page's text, byte for byte.
#include "report/html_text.h"

#include <gtest/gtest.h>

#include "report/comma_locale.h"

namespace {

std::string Repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

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

TEST(HtmlText, CharsetBytesOf) {
  const std::pair<const char*, CharsetBytes> cases[] = {
      {"utf-8", CharsetBytes::kUtf8},
      {"UTF-8", CharsetBytes::kUtf8},
      {"gbk", CharsetBytes::kGb},
      {"gb18030", CharsetBytes::kGb},
      {"big5", CharsetBytes::kDouble},
      {"shift_jis", CharsetBytes::kDouble},
      {"euc-kr", CharsetBytes::kDouble},
      {"windows-1252", CharsetBytes::kSingle},
      {"iso-8859-15", CharsetBytes::kSingle},
      {"", CharsetBytes::kSingle},
  };
  for (const auto& c : cases) EXPECT_EQ(CharsetBytesOf(c.first), c.second) << c.first;
}

// A cut falls between two characters of the page's charset: a character
// that would be split is left out whole.
TEST(HtmlText, CutPoint) {
  const std::string a299(299, 'a');
  const struct {
    std::string bytes;
    CharsetBytes charset;
    std::size_t cut;
  } cases[] = {
      {std::string(300, 'a'), CharsetBytes::kUtf8, 300},
      {std::string(301, 'a'), CharsetBytes::kUtf8, 300},
      {a299 + "\xe4\xb8\xad", CharsetBytes::kUtf8, 299},           // 中 across the cut
      {a299 + "a\xe4\xb8\xad", CharsetBytes::kUtf8, 300},          // 中 after it
      {std::string(301, '\xe4'), CharsetBytes::kUtf8, 300},        // lead bytes alone
      {a299 + "\xf0\x9f\x93\xb7", CharsetBytes::kUtf8, 299},       // four bytes
      {"a" + std::string(400, '\x80'), CharsetBytes::kUtf8, 300},  // no character
      {a299 + "\xd6\xd0", CharsetBytes::kGb, 299},                 // 中 in GBK
      {a299 + "a\xd6\xd0", CharsetBytes::kGb, 300},
      {std::string(400, '\xd6'), CharsetBytes::kGb, 300},
      {"a" + std::string(400, '\xd6'), CharsetBytes::kGb, 299},
      {std::string(297, 'a') + "\x81\x30\x81\x30", CharsetBytes::kGb, 297},  // four bytes
      {std::string(296, 'a') + "\x81\x30\x81\x30", CharsetBytes::kGb, 300},
      {std::string(297, 'a') + "\x81\x30\x81\x30", CharsetBytes::kDouble, 299},
      {a299 + "\xd6\xd0", CharsetBytes::kSingle, 300},
      {"short \xd6", CharsetBytes::kGb, 7},  // uncut, lone lead byte and all
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CutPoint(c.bytes, 300, c.charset), c.cut) << testing::PrintToString(c.bytes);
  }
}

// Cut first, escaped after: a markup character is never split, and the
// text is followed by '<' or '&' of the page.
TEST(HtmlText, FileText) {
  const struct {
    std::string bytes;
    CharsetBytes charset;
    std::string html;
    std::string plain;
  } cases[] = {
      {"IMG_0001.JPG", CharsetBytes::kUtf8, "<bdi>IMG_0001.JPG</bdi>",
       "&#x2068;IMG_0001.JPG&#x2069;"},
      {"<b>\x01", CharsetBytes::kGb, "<bdi>&lt;b&gt;&#xFFFD;</bdi>",
       "&#x2068;&lt;b&gt;&#xFFFD;&#x2069;"},
      {"\xe2\x80\xaegpj.exe", CharsetBytes::kUtf8, "<bdi>\xe2\x80\xaegpj.exe</bdi>",
       "&#x2068;\xe2\x80\xaegpj.exe&#x2069;"},
      // A U+2069 of its own ends no isolation in a UTF-8 tooltip.
      {"a\xe2\x81\xa9\xe2\x80\xae", CharsetBytes::kUtf8, "<bdi>a\xe2\x81\xa9\xe2\x80\xae</bdi>",
       "&#x2068;a&#xFFFD;\xe2\x80\xae&#x2069;"},
      {"a\xe2\x81\xa9", CharsetBytes::kGb, "<bdi>a\xe2\x81\xa9</bdi>",
       "&#x2068;a\xe2\x81\xa9&#x2069;"},
      {"end \xd6", CharsetBytes::kGb, "<bdi>end \xd6</bdi>", "&#x2068;end \xd6&#x2069;"},
      {std::string(60000, '<'), CharsetBytes::kSingle,
       "<bdi>" + Repeated("&lt;", 300) + "</bdi>&#x2026; (60,000 bytes)",
       "&#x2068;" + Repeated("&lt;", 300) + "&#x2069;&#x2026; (60,000 bytes)"},
      {std::string(299, 'a') + "\xd6\xd0<", CharsetBytes::kGb,
       "<bdi>" + std::string(299, 'a') + "</bdi>&#x2026; (302 bytes)",
       "&#x2068;" + std::string(299, 'a') + "&#x2069;&#x2026; (302 bytes)"},
      {"", CharsetBytes::kUtf8, "<bdi></bdi>", "&#x2068;&#x2069;"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileText(c.bytes, c.charset), c.html) << testing::PrintToString(c.bytes);
    EXPECT_EQ(FileTextPlain(c.bytes, c.charset), c.plain) << testing::PrintToString(c.bytes);
  }
}

TEST(HtmlText, Thousands) {
  const std::pair<std::size_t, const char*> cases[] = {
      {0, "0"},          {999, "999"},           {1000, "1,000"},
      {60000, "60,000"}, {1234567, "1,234,567"}, {100000, "100,000"},
  };
  for (const auto& c : cases) EXPECT_EQ(Thousands(c.first), c.second);
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
