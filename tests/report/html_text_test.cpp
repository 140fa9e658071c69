// The report page's text, byte for byte.
#include "report/html_text.h"

#include <gtest/gtest.h>

namespace {

TEST(HtmlText, EscapesAndReferences) {
  EXPECT_EQ(EscapedBytes("<a href='x'>&amp;\"</a>"),
            "&lt;a href=&#39;x&#39;&gt;&amp;amp;&quot;&lt;/a&gt;");
  EXPECT_EQ(EscapedBytes(std::string("\0\x01\t\x7f", 4)), "&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;");
  // Bytes of other characters stay, to be read in the page's charset.
  EXPECT_EQ(EscapedBytes("\xc3\x84ra \xd3\xb0\x80\xff"), "\xc3\x84ra \xd3\xb0\x80\xff");
  EXPECT_EQ(OwnText("exit \xe7\xbb\x93\xe8\xae\xba \xc3\x84"), "exit &#x7ED3;&#x8BBA; &#xC4;");
  EXPECT_EQ(OwnText("\xf0\x9f\x93\xb7"), "&#x1F4F7;");  // 结论 Ä, then four bytes
}

TEST(HtmlText, Numbers) {
  EXPECT_EQ(Decimal(127, 1) + " " + Decimal(0.5, 2) + " " + Decimal(-3.26, 1), "127.0 0.50 -3.3");
  EXPECT_EQ(Decimal(1e300, 1), "1e+300");  // too long in full
  EXPECT_EQ(Tenths(12.36) + " " + Tenths(-0.04) + " " + Tenths(-7.5), "12.4 0.0 -7.5");
  EXPECT_EQ(Thousands(999) + " " + Thousands(60000) + " " + Thousands(1234567),
            "999 60,000 1,234,567");
  EXPECT_EQ(Base64("f") + " " + Base64("fo") + " " + Base64("foo"), "Zg== Zm8= Zm9v");
  EXPECT_EQ(Base64(std::string("\xff\xd8\xff\x00\xfb\xef\xbe", 7)), "/9j/APvvvg==");
}

// A cut falls between two characters of the page's charset: a character
// that would be split is left out whole.
TEST(HtmlText, CutPoint) {
  const CharsetBytes utf8 = CharsetBytesOf("UTF-8"), gbk = CharsetBytesOf("gbk");
  const CharsetBytes big5 = CharsetBytesOf("big5"), latin = CharsetBytesOf("windows-1252");
  const struct {
    std::size_t as;  // 'a's before the tail
    std::string tail;
    CharsetBytes charset;
    std::size_t cut;
  } cases[] = {
      {301, "", utf8, 300},
      {299, "\xe4\xb8\xad", utf8, 299},  // 中 across the cut
      {298, "\xe4\xb8\xad", utf8, 298},
      {297, "\xe4\xb8\xad", utf8, 300},
      {299, "\xf0\x9f\x93\xb7", utf8, 299},
      {1, std::string(400, '\x80'), utf8, 300},
      {299, "\xd6\xd0", gbk, 299},
      {1, std::string(400, '\xd6'), gbk, 299},
      {297, "\x81\x30\x81\x30", gbk, 297},
      {296, "\x81\x30\x81\x30", gbk, 300},
      {297, "\x81\x30\x81\x30", big5, 299},
      {299, "\xd6\xd0", latin, 300},
      {5, " \xd6", gbk, 7},  // uncut, lone lead byte and all
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CutPoint(std::string(c.as, 'a') + c.tail, 300, c.charset), c.cut)
        << c.as << testing::PrintToString(c.tail);
  }
}

// Cut first, escaped after, so that no reference is split; then set apart.
TEST(HtmlText, FileText) {
  std::string lts;
  for (int i = 0; i < 300; ++i) lts += "&lt;";
  const struct {
    std::string bytes;
    CharsetBytes charset;
    std::string html;  // in plain text, U+2068 and U+2069 stand for <bdi> and </bdi>
  } cases[] = {
      {"<b>\x01", CharsetBytes::kGb, "<bdi>&lt;b&gt;&#xFFFD;</bdi>"},
      {"\xe2\x80\xaegpj.exe", CharsetBytes::kUtf8, "<bdi>\xe2\x80\xaegpj.exe</bdi>"},
      {std::string(60000, '<'), CharsetBytes::kSingle,
       "<bdi>" + lts + "</bdi>&#x2026; (60,000 bytes)"},
      {std::string(299, 'a') + "\xd6\xd0<", CharsetBytes::kGb,
       "<bdi>" + std::string(299, 'a') + "</bdi>&#x2026; (302 bytes)"},
  };
  for (const auto& c : cases) {
    std::string plain = c.html;
    plain.replace(0, 5, "&#x2068;");
    plain.replace(plain.find("</bdi>"), 6, "&#x2069;");
    EXPECT_EQ(FileText(c.bytes, c.charset), c.html) << testing::PrintToString(c.bytes);
    EXPECT_EQ(FileTextPlain(c.bytes, c.charset), plain) << testing::PrintToString(c.bytes);
  }
  // A U+2069 of its own ends no isolation in a UTF-8 tooltip.
  EXPECT_EQ(FileTextPlain("a\xe2\x81\xa9", CharsetBytes::kUtf8), "&#x2068;a&#xFFFD;&#x2069;");
}

}  // namespace
