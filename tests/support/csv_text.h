// Reads CSV text as a spreadsheet does (RFC 4180: rows end in CR LF, a
// quoted cell may hold commas and doubled quotes), for the tests of the
// per-frame table.
#ifndef EXIFCHECK_TESTS_SUPPORT_CSV_TEXT_H_
#define EXIFCHECK_TESTS_SUPPORT_CSV_TEXT_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testsupport {

using CsvRow = std::vector<std::string>;

inline std::vector<CsvRow> ParseCsv(const std::string& text) {
  std::vector<CsvRow> rows(1);
  std::string cell;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().push_back(cell);
      cell.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      rows.back().push_back(cell);
      cell.clear();
      rows.emplace_back();
      ++i;
    } else {
      EXPECT_NE(c, '\n') << "a line end without CR at " << i;
      cell += c;
    }
  }
  EXPECT_TRUE(rows.back().empty() && cell.empty()) << "the last row ends without CR LF";
  rows.pop_back();
  return rows;
}

}  // namespace testsupport

#endif  // EXIFCHECK_TESTS_SUPPORT_CSV_TEXT_H_
