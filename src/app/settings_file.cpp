// Reading and printing the settings file.
#include "app/settings_file.h"

#include <fstream>
#include <iostream>

#include "platform/platform.h"

bool ReadSettingsFile(const std::string& path, SettingsTable& table) {
  table.clear();
  std::ifstream file(path.c_str());
  if (!file) {
    std::cout << "file open error" << std::endl;
    return false;
  }
  ReadSettings(file, table);
  return true;
}

bool ReadSettings(std::istream& in, SettingsTable& table) {
  table.clear();
  std::string line, key, value;
  while (std::getline(in, line)) {
    platform::DropTextModeCarriageReturn(&line, !in.eof());
    if (SplitSettingsLine(line, key, value)) table[key] = value;
  }
  // The end of the file sets failbit with eofbit; only badbit is a failed read.
  return !in.bad();
}

bool SplitSettingsLine(const std::string& line, std::string& key, std::string& value) {
  if (line.empty()) return false;
  const std::string::size_type hash = line.find('#');
  if (hash == 0) return false;
  const std::string content = hash == std::string::npos ? line : line.substr(0, hash);
  const std::string::size_type equals = content.find('=');
  if (equals == std::string::npos) return false;
  key = content.substr(0, equals);
  TrimBlanks(key);
  if (key.empty()) return false;
  value = content.substr(equals + 1);
  TrimBlanks(value);
  return true;
}

void TrimBlanks(std::string& text) {
  static const char kBlanks[] = " \t";
  const std::string::size_type first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) {
    text.clear();
    return;
  }
  const std::string::size_type last = text.find_last_not_of(kBlanks);
  text = text.substr(first, last - first + 1);
}

void PrintSettings(const SettingsTable& table, std::vector<std::string>& values) {
  for (const auto& entry : table) {
    std::cout << entry.first << "=" << entry.second << std::endl;
    values.push_back(entry.second);
  }
}
