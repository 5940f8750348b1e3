#include "app/settings.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "console/console.h"
#include "console/console_texts.h"
#include "platform/platform.h"

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

SettingsRead readSettingsText(const std::string& path, std::string& text) {
  text.clear();
  // One open: it is both the test that the file opens and the reading, so a
  // named pipe or a process substitution is read once, as it comes.
  std::ifstream file(path);
  if (!file) return SettingsRead::cannotOpen;
  // Read in pieces, so a small file costs a small buffer; one byte past the
  // limit tells a file that holds more, so /dev/zero or a huge file costs no
  // more memory than that.
  // The piece lives on the heap: a run under a small stack limit has no
  // kilobytes of stack to spare.
  std::vector<char> piece(16 * 1024);
  while (text.size() <= kSettingsByteLimit && file) {
    const std::size_t wanted = std::min(piece.size(), kSettingsByteLimit + 1 - text.size());
    file.read(piece.data(), static_cast<std::streamsize>(wanted));
    text.append(piece.data(), static_cast<std::size_t>(file.gcount()));
  }
  if (text.size() > kSettingsByteLimit) {
    text.clear();
    return SettingsRead::tooLarge;
  }
  return SettingsRead::ok;
}

void parseSettingsText(const std::string& text, SettingsMap& settings) {
  settings.clear();
  std::string key;
  std::string value;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t feed = text.find('\n', start);
    const bool ended = feed != std::string::npos;
    std::string line = text.substr(start, ended ? feed - start : std::string::npos);
    start = ended ? feed + 1 : text.size();
    // A carriage return before the line feed belongs to the line end. A
    // Windows text stream has dropped it already, and there a carriage return
    // still in the line belongs to the value.
    if (platform::kTextKeepsCarriageReturns && ended && !line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (splitSettingLine(line, key, value)) settings[key] = value;
  }
}

bool loadSettings(const std::string& path, SettingsMap& settings) {
  settings.clear();
  std::string text;
  if (readSettingsText(path, text) == SettingsRead::cannotOpen) {
    console::line(texts::kSettingsOpenError);
    return false;
  }
  parseSettingsText(text, settings);
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
