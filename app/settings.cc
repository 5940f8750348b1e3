#include "app/settings.h"

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

SettingsRead readSettingsText(const platform::FilePath& path, std::string& text,
                              std::string* reason) {
  // One open: it is both the test that the file opens and the reading, so a
  // named pipe or a process substitution is read once, as it comes.
  switch (platform::readSmallFile(path, kSettingsByteLimit, text, reason)) {
    case platform::SmallFileRead::cannotOpen:
      return SettingsRead::cannotOpen;
    case platform::SmallFileRead::tooLarge:
      return SettingsRead::tooLarge;
    case platform::SmallFileRead::ok:
      break;
  }
  return SettingsRead::ok;
}

SettingsRead readSettingsText(const std::string& path, std::string& text) {
  return readSettingsText(platform::filePathOf(path), text);
}

namespace {

// Calls `take` with each line of `text`, without its line end.
template <typename Take>
void forEachLine(const std::string& text, Take take) {
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
    take(line);
  }
}

}  // namespace

void parseSettingsText(const std::string& text, SettingsMap& settings) {
  settings.clear();
  std::string key;
  std::string value;
  forEachLine(text, [&](const std::string& line) {
    if (splitSettingLine(line, key, value)) settings[key] = value;
  });
}

bool valueCutAtHash(const std::string& text, const std::string& key) {
  bool cut = false;
  std::string lineKey;
  std::string value;
  forEachLine(text, [&](const std::string& line) {
    // A line that sets a value holds its "=" before any "#".
    if (splitSettingLine(line, lineKey, value) && lineKey == key) {
      cut = line.find('#') != std::string::npos;
    }
  });
  return cut;
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
