// The settings file: lines of key "=" value, "#" comments, blanks (spaces and
// tabs) around key and value dropped. Keys are never compared with fixed
// names: the meaning of a value follows from the place its key takes among
// all keys in ascending byte order.
#ifndef PHOTOCHECK_APP_SETTINGS_H
#define PHOTOCHECK_APP_SETTINGS_H

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

// Key text to value text, both raw bytes. std::string compares bytes as
// unsigned values and a prefix sorts first: exactly the key order wanted.
using SettingsMap = std::map<std::string, std::string>;

// The most bytes a settings file may hold.
inline constexpr std::size_t kSettingsByteLimit = 1048576;

enum class SettingsRead { ok, cannotOpen, tooLarge };

// Opens the file at `path` once, as text, and reads it whole into `text`:
// at most kSettingsByteLimit bytes, `tooLarge` (and `text` empty) when it
// holds more. When it cannot be opened, `reason` (if given) receives the
// system's words for why.
SettingsRead readSettingsText(const platform::FilePath& path, std::string& text,
                              std::string* reason = nullptr);
SettingsRead readSettingsText(const std::string& path, std::string& text);

// Empties `settings` and fills it from the lines of `text`.
void parseSettingsText(const std::string& text, SettingsMap& settings);

// True when the line that sets `key` (the last such line, the one that
// wins) holds a "#" after its "=": the value was cut there, as everything
// from a "#" on is a comment.
bool valueCutAtHash(const std::string& text, const std::string& key);

// Empties `settings` and reads the file at `path` into it (a file over the
// limit gives an empty map). Returns false (and
// prints "file open error") when the file cannot be opened; an empty file is
// a success.
bool loadSettings(const std::string& path, SettingsMap& settings);

// Splits one line (without its line end) into trimmed key and value. Returns
// false for lines that hold no setting: empty, comment, no "=", empty key.
bool splitSettingLine(const std::string& line, std::string& key, std::string& value);

// Removes leading and trailing spaces and tabs, nothing else.
void trimBlanks(std::string& text);

// Appends the values to `values` in ascending key order, echoing each entry
// as a console line key=value.
void settingsInKeyOrder(const SettingsMap& settings, std::vector<std::string>& values);

#endif  // PHOTOCHECK_APP_SETTINGS_H
