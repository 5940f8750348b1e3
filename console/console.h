// Standard output, the tool's only channel. Numbers go out in plain decimal
// (no digit grouping whatever the user's locale).
//
// A caller reading the output line by line sees each line soon after it is
// made, but not one write per line: a set of 20,000 photos makes 80,000
// lines, and a write each cost a third of the run's time on photos in the
// page cache. Lines are gathered and written together when a line ends at
// least kFlushEvery after the latest write, whenever the tool is about to
// wait (on the storage: the settings file, the scan, a photo being read, the
// report; see flush), before anything goes to standard error (so the two
// keep their order when they share a file), and at the end. A terminal gets
// each line as it ends all the same, and so does a Windows console. Every
// byte reaches a caller that reads slowly from a non-blocking pipe; only a
// reader that has gone or a failed write drops the rest
// (platform::writeStandardStream).
//
// What reaches the console is settled once, by setUpOutput, and then chosen
// per write:
//   - into a pipe or a file, and on a terminal that is not UTF-8: the
//     system's bytes, the tool's texts in GBK (code page 936);
//   - on a UTF-8 terminal, or when PHOTOCHECK_CHARSET asks for UTF-8: UTF-8,
//     the tool's texts in their UTF-8 form, names and settings as their
//     bytes (on Windows converted from the ANSI code page, file names from
//     their exact UTF-16 form);
//   - on a Windows console: that UTF-8 text as UTF-16, through the console's
//     own call, so it shows whatever the console's code page.
// Until setUpOutput runs (as in the unit tests) the console writes bytes.
#ifndef PHOTOCHECK_CONSOLE_CONSOLE_H
#define PHOTOCHECK_CONSOLE_CONSOLE_H

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace console {

struct OutputForms {
  bool consoleUtf8 = false;  // the console takes UTF-8 text
  bool wideConsole = false;  // ... and writes it as UTF-16 to a Windows console
  bool reportUtf8 = false;   // error.json is UTF-8 (and so are its names)
};

// Reads what standard output is and what the environment asks for. Called
// once, after the locale set-up.
void setUpOutput();

// The character set the command line asks for (--charset), which wins over
// PHOTOCHECK_CHARSET: UTF-8 for the console and error.json, or (false) the
// forms of a run without the variable. Called after setUpOutput, before the
// run's first line.
void useCharset(bool utf8);

// The forms in use; set directly by tests.
const OutputForms& outputForms();
void setOutputForms(const OutputForms& forms);

// A text in the system's own encoding: a setting, an argument, a name as it
// is shown, a value read from a photo, a plain ASCII text.
void write(std::string_view systemText);

// One of the tool's texts (console/console_texts.h): its GBK bytes, or its
// UTF-8 form where the console takes UTF-8.
void text(const char* toolText);

// A text known in both forms, such as a name whose UTF-8 form comes from its
// UTF-16 name, or the report's JSON text.
struct BothForms {
  std::string_view system;
  std::string_view utf8;
};
void write(BothForms both);

void write(std::uint64_t number);

// Lines wait at most this long for a later line end to write them.
inline constexpr std::chrono::milliseconds kFlushEvery{20};

void endLine();

// text(toolText), write(number) and endLine(): the check passes' line per
// photo.
void numberedLine(const char* toolText, std::uint64_t number);

// With `quiet` (--quiet) the check passes' line per photo is left out:
// progressLine then writes nothing. Every other line stays as it is.
void setQuiet(bool quiet);

// numberedLine, unless the console is quiet: the check passes' line per
// photo, two million lines and more for a large set, which nobody reads.
void progressLine(const char* toolText, std::uint64_t number);

// Writes every line made so far, at once: called before the tool waits on
// anything but its own processor, and at the end of the run. Cheap when
// nothing is waiting.
void flush();

// For tests: while `capture` is set, the console's bytes are appended to it
// as they are made instead of going to standard output.
void captureOutput(std::string* capture);

inline void line(std::string_view systemText) {
  write(systemText);
  endLine();
}

inline void line(BothForms both) {
  write(both);
  endLine();
}

inline void textLine(const char* toolText) {
  text(toolText);
  endLine();
}

}  // namespace console

#endif  // PHOTOCHECK_CONSOLE_CONSOLE_H
