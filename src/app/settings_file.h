// The settings file: lines of "key = value" with "#" comments, read into a
// table ordered by the bytes of the keys. Keys carry no meaning here; the
// run gives the values their roles by their place in key order.
#ifndef EXIFCHECK_APP_SETTINGS_FILE_H_
#define EXIFCHECK_APP_SETTINGS_FILE_H_

#include <istream>
#include <map>
#include <string>
#include <vector>

/// Keys in ascending byte order (std::string compares bytes as unsigned).
using SettingsTable = std::map<std::string, std::string>;

/// Empties `table`, then fills it from the file at `path`. A later line
/// replaces the value of an earlier line with the same key. Prints
/// "file open error" and returns false when the file cannot be opened.
bool ReadSettingsFile(const std::string& path, SettingsTable& table);

/// Empties `table`, then fills it from the lines of `in`, opened as a text
/// file. Returns false when a read fails before the end of the file; the
/// entries read up to there stay.
bool ReadSettings(std::istream& in, SettingsTable& table);

/// Splits one line into a trimmed key and value. Returns false for a line
/// that carries no entry: empty, a comment, no "=" before the comment, or an
/// empty key.
bool SplitSettingsLine(const std::string& line, std::string& key, std::string& value);

/// Removes spaces and tabs at both ends of `text`, in place.
void TrimBlanks(std::string& text);

/// Prints "key=value" per entry and appends the values, both in key order.
void PrintSettings(const SettingsTable& table, std::vector<std::string>& values);

#endif  // EXIFCHECK_APP_SETTINGS_FILE_H_
