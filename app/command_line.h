// The command line: the settings file, the arguments that are only echoed,
// and the options, which do what the PHOTOCHECK_* variables do and win over
// them.
//
//   photocheck [--page FILE] [--geojson FILE] [--charset UTF-8|GBK] [--quiet]
//              [--] <settings file> [argument ...]
//
// An option stands before or after the settings file, and "--name=value"
// is the same as "--name value". An argument that names an existing file is
// never an option: it is the settings file (the first such argument) or an
// argument that is only echoed, whatever its name, as "--help" has always
// been. An argument that starts with "-" (and is not "-" alone), names no
// file and is no option of the table refuses the whole command line, and so
// does an option without its value; nothing is then read or written. After
// "--" every argument is the settings file or an echoed one.
#ifndef PHOTOCHECK_APP_COMMAND_LINE_H
#define PHOTOCHECK_APP_COMMAND_LINE_H

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class OptionKind { page, geoJson, charset, quiet, help, version, endOfOptions };

// One option the command line takes; --help lists each (a test holds them
// to it).
struct OptionRow {
  OptionKind kind;
  const char* name;          // "--page"
  const char* shortName;     // "-h", or nullptr
  bool takesValue;           // "--page FILE", "--page=FILE"
  bool windowsOnly = false;  // "/?": on POSIX a path like any other
};

inline constexpr OptionRow kOptionRows[] = {
    {OptionKind::page, "--page", nullptr, true},
    {OptionKind::geoJson, "--geojson", nullptr, true},
    {OptionKind::charset, "--charset", nullptr, true},
    {OptionKind::quiet, "--quiet", nullptr, false},
    {OptionKind::help, "--help", "-h", false},
    {OptionKind::help, "/?", nullptr, false, true},
    {OptionKind::version, "--version", "-V", false},
    {OptionKind::endOfOptions, "--", nullptr, false},
};

// Where an option's value stands: argument `argument` of argv from its byte
// `from` on (after "--page=", or 0 for the argument after "--page").
struct ArgumentPiece {
  int argument = 0;
  std::size_t from = 0;
};

struct CommandLine {
  enum class Action { run, help, version, refused };
  Action action = Action::run;
  // The argv positions of the settings file and then of each argument that
  // is only echoed; empty when none was given (refused).
  std::vector<int> positionals;
  std::optional<ArgumentPiece> page;     // an empty value: no page, whatever the variable says
  std::optional<ArgumentPiece> geoJson;  // the same for the GeoJSON report
  std::optional<bool> utf8;              // --charset: true UTF-8, false as without it
  bool quiet = false;
  // Why the command line is refused: the line for standard error after
  // "photocheck: ", pointing to --help.
  std::string refusal;
};

// Sorts `arguments` (argv, the program's name first) into the settings
// file, the echoed arguments and the options. `namesFile(i)` tells whether
// argument i names an existing file; it is asked only of an argument that
// would otherwise be an option. The later of two values of one option wins.
// `windows` admits the "/?" spelling.
CommandLine parseCommandLine(const std::vector<std::string>& arguments, bool windows,
                             const std::function<bool(int)>& namesFile);

#endif  // PHOTOCHECK_APP_COMMAND_LINE_H
