// Fuzz target for the settings file reader: any bytes as a settings file.
// Besides not crashing, what it stores must obey the format: keys are never
// empty, neither keys nor values carry outer blanks, a "#" or a line feed, and
// the value list follows the map one for one. The file is read once and
// bounded: its text is the bytes written, and parsing that text gives the
// same map as loading the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/settings.h"
#include "fuzz/fuzz_scratch.h"
#include "tests/support/temp_folder.h"

namespace {

bool hasOuterBlank(const std::string& text) {
  if (text.empty()) return false;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  return blank(text.front()) || blank(text.back());
}

bool wellFormed(const std::string& text) {
  return !hasOuterBlank(text) && text.find('#') == std::string::npos &&
         text.find('\n') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    fuzzscratch::silenceConsole();
    return fuzzscratch::folder() + "/settings.txt";
  }();
  writeFileBytes(path, std::string(reinterpret_cast<const char*>(data), size));
  std::string text;
  const SettingsRead read = readSettingsText(path, text);
  if (read != (size > kSettingsByteLimit ? SettingsRead::tooLarge : SettingsRead::ok)) std::abort();
  if (read == SettingsRead::ok && text != std::string(reinterpret_cast<const char*>(data), size)) {
    std::abort();
  }
  SettingsMap parsed;
  parseSettingsText(text, parsed);
  SettingsMap settings;
  if (!loadSettings(path, settings)) std::abort();
  if (settings != parsed) std::abort();
  std::vector<std::string> values;
  settingsInKeyOrder(settings, values);
  if (values.size() != settings.size()) std::abort();
  std::size_t index = 0;
  for (const auto& [key, value] : settings) {
    if (key.empty() || !wellFormed(key) || !wellFormed(value)) std::abort();
    if (values[index++] != value) std::abort();
  }
  return 0;
}
