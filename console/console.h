// Standard output, the tool's only channel. Numbers go out in plain decimal
// (the stream keeps the classic locale, so no digit grouping whatever the
// user's locale); every line end is a line feed followed by a flush, so a
// caller reading the output line by line sees each line as soon as it is
// made.
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

void endLine();

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
