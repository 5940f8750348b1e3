#include "app/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "console/console_texts.h"
#include "tests/support/temp_folder.h"

namespace {

using Action = CommandLine::Action;

struct Piece {
  int argument;
  std::size_t from;
};

struct LineCase {
  std::vector<std::string> arguments;  // after the program's name
  std::set<std::string> files;         // the arguments that name an existing file
  Action action;
  std::vector<int> positionals;
  std::optional<Piece> page;
  std::optional<Piece> geoJson;
  std::optional<bool> utf8;
  bool quiet;
  std::string refusal;  // before the hint
  bool windows = false;
};

std::string describe(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) text += " [" + argument + "]";
  return text;
}

TEST(CommandLine, SortsTheSettingsFileTheEchoedArgumentsAndTheOptions) {
  const std::string unknown = texts::kUnknownOption;
  const std::string option = texts::kOptionNamed;
  const Action run = Action::run;
  const Action refused = Action::refused;
  const LineCase cases[] = {
      {{"s.conf"}, {}, run, {1}, {}, {}, {}, false, ""},
      {{"s.conf", "x", "y"}, {}, run, {1, 2, 3}, {}, {}, {}, false, ""},
      {{"--page", "p.html", "--geojson=g.json", "--charset", "utf-8", "--quiet", "s.conf"},
       {},
       run,
       {7},
       Piece{2, 0},
       Piece{3, 10},
       true,
       true,
       ""},
      // After the settings file, between echoed arguments; GBK is as without.
      {{"s.conf", "x", "--charset=gbk", "--quiet", "y"},
       {},
       run,
       {1, 2, 5},
       {},
       {},
       false,
       true,
       ""},
      // The later of two values wins; an empty one asks for no page.
      {{"--page", "a.html", "--page=", "s.conf"}, {}, run, {4}, Piece{3, 7}, {}, {}, false, ""},
      {{"--quiet", "--quiet", "s.conf"}, {}, run, {3}, {}, {}, {}, true, ""},
      // A file named like an option is the settings file, or an echoed one.
      {{"--quiet"}, {"--quiet"}, run, {1}, {}, {}, {}, false, ""},
      {{"--help", "-V"}, {"--help", "-V"}, run, {1, 2}, {}, {}, {}, false, ""},
      // ... but a value is taken as it stands.
      {{"--page", "s.conf", "t.conf"},
       {"s.conf", "t.conf"},
       run,
       {3},
       Piece{2, 0},
       {},
       {},
       false,
       ""},
      {{"--", "--quiet", "-x"}, {}, run, {2, 3}, {}, {}, {}, false, ""},
      {{"-"}, {}, run, {1}, {}, {}, {}, false, ""},
      {{"s.conf", "--help"}, {}, Action::help, {1}, {}, {}, {}, false, ""},
      {{"-h"}, {}, Action::help, {}, {}, {}, {}, false, ""},
      {{"-V", "--quiet"}, {}, Action::version, {}, {}, {}, {}, true, ""},
      {{"/?"}, {}, Action::help, {}, {}, {}, {}, false, "", true},
      {{"/?"}, {}, run, {1}, {}, {}, {}, false, ""},
      {{"--bogus", "s.conf"}, {}, refused, {}, {}, {}, {}, false, unknown + "\"--bogus\""},
      {{"s.conf", "--qiuet"}, {}, refused, {}, {}, {}, {}, false, unknown + "\"--qiuet\""},
      {{"--HELP"}, {}, refused, {}, {}, {}, {}, false, unknown + "\"--HELP\""},
      {{"s.conf", "--page"},
       {},
       refused,
       {},
       {},
       {},
       {},
       false,
       option + "\"--page\"" + texts::kNeedsValue},
      {{"--geojson", "--quiet", "s.conf"},
       {},
       refused,
       {},
       {},
       {},
       {},
       false,
       option + "\"--geojson\"" + texts::kNeedsValue},
      {{"--quiet=yes", "s.conf"},
       {},
       refused,
       {},
       {},
       {},
       {},
       false,
       option + "\"--quiet\"" + texts::kTakesNoValue},
      {{"--version="},
       {},
       refused,
       {},
       {},
       {},
       {},
       false,
       option + "\"--version\"" + texts::kTakesNoValue},
      {{"--charset", "utf8", "s.conf"},
       {},
       refused,
       {},
       {},
       {},
       {},
       false,
       option + "\"--charset\"" + texts::kCharsetValues + "\"utf8\""},
  };
  for (const LineCase& c : cases) {
    std::vector<std::string> arguments = {"photocheck"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const CommandLine line = parseCommandLine(arguments, c.windows, [&](int i) {
      return c.files.count(arguments[static_cast<std::size_t>(i)]) != 0;
    });
    SCOPED_TRACE(describe(c.arguments));
    EXPECT_EQ(line.action, c.action);
    if (c.action == refused) {
      EXPECT_EQ(line.refusal, c.refusal + texts::kHelpHint);
      continue;
    }
    EXPECT_EQ(line.refusal, "");
    if (c.action == run) {
      EXPECT_EQ(line.positionals, c.positionals);
    }
    EXPECT_EQ(line.page.has_value(), c.page.has_value());
    if (line.page && c.page) {
      EXPECT_EQ(line.page->argument, c.page->argument);
      EXPECT_EQ(line.page->from, c.page->from);
    }
    EXPECT_EQ(line.geoJson.has_value(), c.geoJson.has_value());
    if (line.geoJson && c.geoJson) {
      EXPECT_EQ(line.geoJson->argument, c.geoJson->argument);
      EXPECT_EQ(line.geoJson->from, c.geoJson->from);
    }
    EXPECT_EQ(line.utf8, c.utf8);
    EXPECT_EQ(line.quiet, c.quiet);
  }
  // Options alone name no settings file.
  const CommandLine none =
      parseCommandLine({"photocheck", "--quiet"}, false, [](int) { return false; });
  EXPECT_EQ(none.action, refused);
  EXPECT_EQ(none.refusal, texts::kNoSettingsFileGiven);
}

// `text` holds `spelling` as a word of its own: between blanks, commas,
// brackets, quotes or the ends.
bool mentions(const std::string& text, const std::string& spelling) {
  std::string pattern;
  for (const char c : spelling) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
    pattern += c;
  }
  const std::string edge = "[\\s,()\\[\\]\"]";
  return std::regex_search(text, std::regex("(^|" + edge + ")" + pattern + "($|" + edge + ")"));
}

// Every spelling the parser takes stands in --help and in the manual page
// (which writes a "-" as "\-"), and --help names no long option the parser
// does not take.
TEST(CommandLine, HelpAndManualPageListEveryOption) {
  const std::string help = texts::kHelp;
  const std::optional<std::string> manual =
      readFileBytes(std::string(PHOTOCHECK_SOURCE_DIR) + "/docs/photocheck.1");
  ASSERT_TRUE(manual.has_value());
  std::set<std::string> names;
  for (const OptionRow& row : kOptionRows) {
    names.insert(row.name);
    for (const char* spelling : {row.name, row.shortName}) {
      if (spelling == nullptr) continue;
      EXPECT_TRUE(mentions(help, spelling)) << spelling << " in --help";
      const std::string manualSpelling = std::regex_replace(spelling, std::regex("-"), "\\-");
      EXPECT_TRUE(mentions(*manual, manualSpelling)) << spelling << " in docs/photocheck.1";
    }
  }
  const std::regex longOption("--[a-z][a-z-]*");
  for (std::sregex_iterator it(help.begin(), help.end(), longOption), end; it != end; ++it) {
    EXPECT_EQ(names.count(it->str()), 1U) << it->str() << " in --help is no option";
  }
}

}  // namespace
