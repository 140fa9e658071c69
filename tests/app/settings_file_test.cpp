// The settings reader's line rules, the file reader and the printed table.
#include "app/settings_file.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

struct SplitCase {
  const char* line;
  bool entry;
  const char* key;
  const char* value;
};

TEST(SettingsFile, SplitsTrimsAndIgnores) {
  const SplitCase cases[] = {
      {"key=value", true, "key", "value"},
      {" \t key name \t= \t two words  \t# a note", true, "key name", "two words"},
      {"a=b=c", true, "a", "b=c"},
      {"key=", true, "key", ""},
      {"key = \t ", true, "key", ""},
      {"k\tey\t=v", true, "k\tey", "v"},  // a tab inside a key stays
      {"key=value#", true, "key", "value"},
      {"key=va lue #=x", true, "key", "va lue"},
      {"", false, "", ""},
      {"# key=value", false, "", ""},
      {"#", false, "", ""},
      {"key # =value", false, "", ""},  // its only "=" is in the comment
      {"no equals sign", false, "", ""},
      {"=value", false, "", ""},  // empty key
      {" \t =value", false, "", ""},
      {"   ", false, "", ""},
      {"key\r=value\r", true, "key\r", "value\r"},  // only blanks and tabs are trimmed
  };
  for (const SplitCase& c : cases) {
    std::string key = "unchanged", value = "unchanged";
    const bool entry = SplitSettingsLine(c.line, key, value);
    EXPECT_EQ(entry, c.entry) << "line: " << c.line;
    if (entry && c.entry) {
      EXPECT_EQ(key, c.key) << "line: " << c.line;
      EXPECT_EQ(value, c.value) << "line: " << c.line;
    }
  }
}

TEST(SettingsFile, TrimBlanks) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},     {" ", ""},          {"\t \t", ""},  {"a", "a"},
      {" a ", "a"}, {"\ta b\t", "a b"}, {"a\n", "a\n"}, {"\xa0x\xa0", "\xa0x\xa0"},
  };
  for (const auto& c : cases) {
    std::string text = c.first;
    TrimBlanks(text);
    EXPECT_EQ(text, c.second) << "text: [" << c.first << "]";
  }
}

struct FileCase {
  const char* name;
  std::string content;
  SettingsTable expected;
};

TEST(SettingsFile, ReadsEntriesInByteOrderOfKeys) {
  const FileCase cases[] = {
      {"comments and blanks only", "# only a note\n\n   \n\t# another\n", {}},
      {"later duplicate wins", "a=1\nb=2\na=3\n", {{"a", "3"}, {"b", "2"}}},
      {"capitals before small letters", "b=1\na=2\nB=3\n", {{"B", "3"}, {"a", "2"}, {"b", "1"}}},
      {"prefix sorts first", "keys=2\nkey=1\n", {{"key", "1"}, {"keys", "2"}}},
      {"last line without line end", "a=1\nb=2", {{"a", "1"}, {"b", "2"}}},
      {"CRLF line ends", "a = 1\r\nb=two words\r\n# c=3\r\n", {{"a", "1"}, {"b", "two words"}}},
      {"CR kept where no LF follows", "a=1\r", {{"a", "1\r"}}},
      {"bytes as they stand", "\xef\xbb\xbfk=\xd3\xb0\n", {{"\xef\xbb\xbfk", "\xd3\xb0"}}},
  };
  for (const FileCase& c : cases) {
    testsupport::ScopedTempDir dir;
    const std::string path = dir.Join("settings.ini");
    testsupport::WriteFile(path, c.content);
    SettingsTable table{{"stale", "entry"}};
    EXPECT_TRUE(ReadSettingsFile(path, table)) << c.name;
    EXPECT_EQ(table, c.expected) << c.name;
  }
}

TEST(SettingsFile, UnopenableFileLeavesTableEmpty) {
  testsupport::ScopedTempDir dir;
  SettingsTable table{{"stale", "entry"}};
  testing::internal::CaptureStdout();
  EXPECT_FALSE(ReadSettingsFile(dir.Join("missing.ini"), table));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "file open error\n");
  EXPECT_TRUE(table.empty());
}

TEST(SettingsFile, PrintsEntriesAndListsValuesInKeyOrder) {
  const SettingsTable table{{"b", "1"}, {"B", ""}, {"a", "x=y"}};
  std::vector<std::string> values;
  testing::internal::CaptureStdout();
  PrintSettings(table, values);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "B=\na=x=y\nb=1\n");
  EXPECT_EQ(values, (std::vector<std::string>{"", "x=y", "1"}));
}

}  // namespace
