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
  bool windows = false;
};

struct RefusedCase {
  std::vector<std::string> arguments;
  std::string refusal;  // before the hint
};

std::string describe(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) text += " [" + argument + "]";
  return text;
}

CommandLine parse(const std::vector<std::string>& arguments, bool windows,
                  const std::set<std::string>& files) {
  std::vector<std::string> argv = {"photocheck"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return parseCommandLine(
      argv, windows, [&](int i) { return files.count(argv[static_cast<std::size_t>(i)]) != 0; });
}

void expectPiece(const std::optional<ArgumentPiece>& actual, const std::optional<Piece>& wanted) {
  ASSERT_EQ(actual.has_value(), wanted.has_value());
  if (!wanted) return;
  EXPECT_EQ(actual->argument, wanted->argument);
  EXPECT_EQ(actual->from, wanted->from);
}

TEST(CommandLine, SortsTheSettingsFileTheEchoedArgumentsAndTheOptions) {
  const Action run = Action::run;
  const LineCase cases[] = {
      {{"s.conf"}, {}, run, {1}, {}, {}, {}, false},
      {{"s.conf", "x", "y"}, {}, run, {1, 2, 3}, {}, {}, {}, false},
      {{"--page", "p.html", "--geojson=g.json", "--charset", "utf-8", "--quiet", "s.conf"},
       {},
       run,
       {7},
       Piece{2, 0},
       Piece{3, 10},
       true,
       true},
      // After the settings file, between echoed arguments; GBK is as without.
      {{"s.conf", "x", "--charset=gbk", "--quiet", "y"}, {}, run, {1, 2, 5}, {}, {}, false, true},
      // The later of two values wins; an empty one asks for no page.
      {{"--page", "a.html", "--page=", "s.conf"}, {}, run, {4}, Piece{3, 7}, {}, {}, false},
      {{"--quiet", "--quiet", "s.conf"}, {}, run, {3}, {}, {}, {}, true},
      // A file named like an option is the settings file, or an echoed one.
      {{"--quiet"}, {"--quiet"}, run, {1}, {}, {}, {}, false},
      {{"--help", "-V"}, {"--help", "-V"}, run, {1, 2}, {}, {}, {}, false},
      // ... but a value is taken as it stands.
      {{"--page", "s.conf", "t.conf"}, {"s.conf", "t.conf"}, run, {3}, Piece{2, 0}, {}, {}, false},
      {{"--", "--quiet", "-x"}, {}, run, {2, 3}, {}, {}, {}, false},
      {{"-"}, {}, run, {1}, {}, {}, {}, false},
      {{"s.conf", "--help"}, {}, Action::help, {1}, {}, {}, {}, false},
      {{"-h"}, {}, Action::help, {}, {}, {}, {}, false},
      {{"-V", "--quiet"}, {}, Action::version, {}, {}, {}, {}, true},
      {{"/?"}, {}, Action::help, {}, {}, {}, {}, false, true},
      {{"/?"}, {}, run, {1}, {}, {}, {}, false},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(describe(c.arguments));
    const CommandLine line = parse(c.arguments, c.windows, c.files);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.refusal, "");
    if (c.action == run) {
      EXPECT_EQ(line.positionals, c.positionals);
    }
    expectPiece(line.page, c.page);
    expectPiece(line.geoJson, c.geoJson);
    EXPECT_EQ(line.utf8, c.utf8);
    EXPECT_EQ(line.quiet, c.quiet);
  }

  const std::string unknown = texts::kUnknownOption;
  const std::string option = texts::kOptionNamed;
  const RefusedCase refusedCases[] = {
      {{"--bogus", "s.conf"}, unknown + "\"--bogus\""},
      {{"s.conf", "--qiuet"}, unknown + "\"--qiuet\""},
      {{"--HELP"}, unknown + "\"--HELP\""},
      {{"s.conf", "--page"}, option + "\"--page\"" + texts::kNeedsValue},
      {{"--geojson", "--quiet", "s.conf"}, option + "\"--geojson\"" + texts::kNeedsValue},
      {{"--quiet=yes", "s.conf"}, option + "\"--quiet\"" + texts::kTakesNoValue},
      {{"--version="}, option + "\"--version\"" + texts::kTakesNoValue},
      {{"--charset", "utf8", "s.conf"},
       option + "\"--charset\"" + texts::kCharsetValues + "\"utf8\""},
  };
  for (const RefusedCase& c : refusedCases) {
    SCOPED_TRACE(describe(c.arguments));
    const CommandLine line = parse(c.arguments, false, {});
    EXPECT_EQ(line.action, Action::refused);
    EXPECT_EQ(line.refusal, c.refusal + texts::kHelpHint);
  }
  // Options alone name no settings file.
  const CommandLine none = parse({"--quiet"}, false, {});
  EXPECT_EQ(none.action, Action::refused);
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
