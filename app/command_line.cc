#include "app/command_line.h"

#include <string_view>
#include <utility>

#include "console/console_texts.h"
#include "platform/platform.h"

namespace {

// The row `text` spells, alone or as "--name=value" (`valueAt` then past the
// "="); null for no row.
const OptionRow* rowOf(std::string_view text, bool windows, std::size_t& valueAt) {
  valueAt = 0;
  for (const OptionRow& row : kOptionRows) {
    if (row.windowsOnly && !windows) continue;
    const std::string_view name = row.name;
    if (text == name || (row.shortName != nullptr && text == row.shortName)) return &row;
    if (text.size() > name.size() && text.compare(0, name.size(), name) == 0 &&
        text[name.size()] == '=' && name != "--") {
      valueAt = name.size() + 1;
      return &row;
    }
  }
  return nullptr;
}

// What may be an option: "-" and more, or "/?" where it is a spelling.
bool looksLikeOption(std::string_view text, bool windows) {
  return (text.size() > 1 && text[0] == '-') || (windows && text == "/?");
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

CommandLine refused(std::string reason) {
  CommandLine line;
  line.action = CommandLine::Action::refused;
  line.refusal = std::move(reason) + texts::kHelpHint;
  return line;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments, bool windows,
                             const std::function<bool(int)>& namesFile) {
  CommandLine line;
  bool help = false;
  bool version = false;
  bool optionsEnded = false;
  const int count = static_cast<int>(arguments.size());
  for (int i = 1; i < count; ++i) {
    const std::string& text = arguments[i];
    if (optionsEnded || !looksLikeOption(text, windows) || namesFile(i)) {
      line.positionals.push_back(i);
      continue;
    }
    std::size_t valueAt = 0;
    const OptionRow* row = rowOf(text, windows, valueAt);
    if (row == nullptr) return refused(texts::kUnknownOption + quoted(text));
    const std::string name = quoted(row->name);
    if (!row->takesValue && valueAt != 0) {
      return refused(texts::kOptionNamed + name + texts::kTakesNoValue);
    }
    ArgumentPiece value{i, valueAt};
    if (row->takesValue && valueAt == 0) {
      // The next argument, unless it is an option itself: "--page --quiet"
      // has lost its file name. (A file named "--quiet": "--page=--quiet".)
      std::size_t unused = 0;
      const bool next = i + 1 < count;
      if (!next || (rowOf(arguments[i + 1], windows, unused) != nullptr && !namesFile(i + 1))) {
        return refused(texts::kOptionNamed + name + texts::kNeedsValue);
      }
      value = ArgumentPiece{++i, 0};
    }
    const std::string_view valueText =
        std::string_view(arguments[value.argument]).substr(value.from);
    switch (row->kind) {
      case OptionKind::page:
        line.page = value;
        break;
      case OptionKind::geoJson:
        line.geoJson = value;
        break;
      case OptionKind::charset:
        if (platform::equalsIgnoringCase(valueText, "utf-8")) {
          line.utf8 = true;
        } else if (platform::equalsIgnoringCase(valueText, "gbk")) {
          line.utf8 = false;
        } else {
          return refused(texts::kOptionNamed + name + texts::kCharsetValues + quoted(valueText));
        }
        break;
      case OptionKind::quiet:
        line.quiet = true;
        break;
      case OptionKind::help:
        help = true;
        break;
      case OptionKind::version:
        version = true;
        break;
      case OptionKind::endOfOptions:
        optionsEnded = true;
        break;
    }
  }
  if (help) {
    line.action = CommandLine::Action::help;
  } else if (version) {
    line.action = CommandLine::Action::version;
  } else if (line.positionals.empty()) {
    CommandLine none;
    none.action = CommandLine::Action::refused;
    none.refusal = texts::kNoSettingsFileGiven;
    return none;
  }
  return line;
}
