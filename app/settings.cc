#include "app/settings.h"

#include <fstream>

#include "console/console.h"
#include "console/console_texts.h"

void trimBlanks(std::string& text) {
  const char* const blanks = " \t";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) {
    text.clear();
    return;
  }
  const std::size_t last = text.find_last_not_of(blanks);
  text = text.substr(first, last - first + 1);
}

bool splitSettingLine(const std::string& line, std::string& key, std::string& value) {
  if (line.empty()) return false;
  const std::size_t hash = line.find('#');
  if (hash == 0) return false;
  // Everything from the first "#" on is a comment, so a "#" can never be part
  // of a key or a value.
  const std::string setting = hash == std::string::npos ? line : line.substr(0, hash);
  const std::size_t equals = setting.find('=');
  if (equals == std::string::npos) return false;
  std::string k = setting.substr(0, equals);
  trimBlanks(k);
  if (k.empty()) return false;
  std::string v = setting.substr(equals + 1);
  trimBlanks(v);
  key = std::move(k);
  value = std::move(v);
  return true;
}

bool loadSettings(const std::string& path, SettingsMap& settings) {
  settings.clear();
  std::ifstream file(path);
  if (!file) {
    console::line(texts::kSettingsOpenError);
    return false;
  }
  std::string line;
  std::string key;
  std::string value;
  while (std::getline(file, line)) {
    // A carriage return before the line feed belongs to the line end. (A
    // Windows text-mode stream has already dropped it; a POSIX one has not.)
    if (!file.eof() && !line.empty() && line.back() == '\r') line.pop_back();
    if (splitSettingLine(line, key, value)) settings[key] = value;
  }
  return true;
}

void settingsInKeyOrder(const SettingsMap& settings, std::vector<std::string>& values) {
  for (const auto& [key, value] : settings) {
    console::write(key);
    console::write("=");
    console::write(value);
    console::endLine();
    values.push_back(value);
  }
}
