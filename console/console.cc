#include "console/console.h"

#include <charconv>
#include <iostream>

#include "console/console_texts.h"
#include "platform/platform.h"

namespace console {

namespace {

OutputForms gForms;

// A Windows console's line, gathered in UTF-8 until its end.
std::string gWideLine;

// Lines made since the latest flush, and when that was (the clock's epoch
// before the first: the first line end writes).
bool gLinesWaiting = false;
std::chrono::steady_clock::time_point gLatestFlush{};

void writeBytes(std::string_view bytes) {
  std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Text already in the console's UTF-8 form.
void writeUtf8(std::string_view utf8) {
  if (gForms.wideConsole) {
    gWideLine.append(utf8);
  } else {
    writeBytes(utf8);
  }
}

// The plain decimal digits of `number`, made in `digits` rather than by the
// stream's locale facets: a run writes one number a line.
std::string_view digitsOf(std::uint64_t number, char (&digits)[20]) {  // 2^64 - 1: 20 digits
  const char* const end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  return std::string_view(digits, static_cast<std::size_t>(end - digits));
}

// After a line end went to the stream: writes the lines out when the latest
// write is kFlushEvery old.
void lineEnded() {
  gLinesWaiting = true;
  const auto now = std::chrono::steady_clock::now();
  if (now - gLatestFlush < kFlushEvery) return;
  std::cout.flush();
  gLinesWaiting = false;
  gLatestFlush = now;
}

}  // namespace

void setUpOutput() {
  const platform::StandardOutput kind = platform::standardOutputKind();
  OutputForms forms;
  forms.reportUtf8 = platform::utf8OutputRequested();
  forms.wideConsole = kind == platform::StandardOutput::wideConsole;
  forms.consoleUtf8 =
      forms.reportUtf8 || forms.wideConsole || kind == platform::StandardOutput::utf8Terminal;
  gForms = forms;
}

const OutputForms& outputForms() { return gForms; }

void setOutputForms(const OutputForms& forms) { gForms = forms; }

void write(std::string_view systemText) {
  if (!gForms.consoleUtf8) {
    writeBytes(systemText);
    return;
  }
  writeUtf8(platform::utf8FromSystemText(std::string(systemText)));
}

void text(const char* toolText) {
  if (gForms.consoleUtf8) {
    writeUtf8(texts::utf8FormOf(toolText));
  } else {
    writeBytes(toolText);
  }
}

void write(BothForms both) {
  if (gForms.consoleUtf8) {
    writeUtf8(both.utf8);
  } else {
    writeBytes(both.system);
  }
}

void write(std::uint64_t number) {
  char digits[20];
  writeUtf8(digitsOf(number, digits));
}

void endLine() {
  if (gForms.wideConsole) {
    gWideLine += '\n';
    // A console that refuses the text changes nothing else, as a closed pipe.
    platform::writeWideConsole(gWideLine);
    gWideLine.clear();
    return;
  }
  std::cout.put('\n');
  lineEnded();
}

void numberedLine(const char* toolText, std::uint64_t number) {
  if (gForms.wideConsole) {
    text(toolText);
    write(number);
    endLine();
    return;
  }
  // One stream write for the whole line: each write of the stream takes
  // the C library's lock, three a line cost more than the line's bytes.
  static std::string line;
  line = gForms.consoleUtf8 ? texts::utf8FormOf(toolText) : toolText;
  char digits[20];
  line += digitsOf(number, digits);
  line += '\n';
  writeBytes(line);
  lineEnded();
}

void flush() {
  if (!gLinesWaiting) return;
  std::cout.flush();
  gLinesWaiting = false;
  gLatestFlush = std::chrono::steady_clock::now();
}

}  // namespace console
