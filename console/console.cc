#include "console/console.h"

#include <charconv>
#include <cstring>
#include <string>

#include "console/console_texts.h"
#include "platform/platform.h"

namespace console {

namespace {

OutputForms gForms;
// What standard output is, as setUpOutput found it.
platform::StandardOutput gKind = platform::StandardOutput::bytes;
bool gQuiet = false;

// A Windows console's line, gathered in UTF-8 until its end.
std::string gWideLine;

// The bytes made since the latest write to standard output, written together
// (see console.h). Their room is taken once, so that making a line needs no
// memory of its own (the stop line of a run short of memory included); a
// piece that does not fit goes out at once.
constexpr std::size_t kWaitingRoom = 32 * 1024;
std::string gWaiting;
// When the latest write was (the clock's epoch before the first: the first
// line end writes).
std::chrono::steady_clock::time_point gLatestFlush{};
// Standard output is a terminal: each line goes out as it ends.
bool gTerminal = false;
// The reader has gone or a write failed: the rest is dropped, unwritten.
bool gOutputGone = false;
std::string* gCapture = nullptr;

void writeOut(std::string_view bytes) {
  if (gOutputGone || bytes.empty()) return;
  if (!platform::writeStandardStream(platform::StandardStream::output, bytes)) gOutputGone = true;
}

void writeWaiting() {
  writeOut(gWaiting);
  gWaiting.clear();
  gLatestFlush = std::chrono::steady_clock::now();
}

void writeBytes(std::string_view bytes) {
  if (gCapture != nullptr) {
    gCapture->append(bytes);
    return;
  }
  if (gWaiting.capacity() < kWaitingRoom) gWaiting.reserve(kWaitingRoom);
  if (gWaiting.size() + bytes.size() > kWaitingRoom) {
    writeWaiting();
    if (bytes.size() > kWaitingRoom) {
      writeOut(bytes);
      return;
    }
  }
  gWaiting.append(bytes);
}

// Text already in the console's UTF-8 form.
void writeUtf8(std::string_view utf8) {
  if (gForms.wideConsole) {
    gWideLine.append(utf8);
  } else {
    writeBytes(utf8);
  }
}

// The plain decimal digits of `number`, made in `digits` rather than by a
// stream's locale facets: a run writes one number a line, and no locale may
// group its digits.
std::string_view digitsOf(std::uint64_t number, char (&digits)[20]) {  // 2^64 - 1: 20 digits
  const char* const end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  return std::string_view(digits, static_cast<std::size_t>(end - digits));
}

}  // namespace

void setUpOutput() {
  gKind = platform::standardOutputKind();
  gTerminal = platform::standardOutputIsTerminal();
  useCharset(platform::utf8OutputRequested());
}

void useCharset(bool utf8) {
  OutputForms forms;
  forms.reportUtf8 = utf8;
  forms.wideConsole = gKind == platform::StandardOutput::wideConsole;
  forms.consoleUtf8 =
      forms.reportUtf8 || forms.wideConsole || gKind == platform::StandardOutput::utf8Terminal;
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

namespace {

// After a line's end has been added to the waiting bytes: writes them when
// the latest write is kFlushEvery old (or on a terminal).
void lineEnded() {
  if (!gTerminal && std::chrono::steady_clock::now() - gLatestFlush < kFlushEvery) return;
  writeWaiting();
}

}  // namespace

void endLine() {
  if (gForms.wideConsole) {
    gWideLine += '\n';
    // A console that refuses the text changes nothing else, as a closed pipe.
    platform::writeWideConsole(gWideLine);
    gWideLine.clear();
    return;
  }
  writeBytes("\n");
  lineEnded();
}

void numberedLine(const char* toolText, std::uint64_t number) {
  // The line made whole on the stack and added to the waiting bytes at once:
  // a run makes one such line per photo and check, 80,000 for 20,000
  // photos, and three pieces each cost three times the appending.
  char line[96];
  const char* const form = gForms.consoleUtf8 ? texts::utf8FormOf(toolText) : toolText;
  const std::size_t textLength = std::strlen(form);
  if (gForms.wideConsole || textLength + 21 > sizeof line) {  // 2^64 - 1: 20 digits
    text(toolText);
    write(number);
    endLine();
    return;
  }
  std::memcpy(line, form, textLength);
  char* const end = std::to_chars(line + textLength, line + sizeof line - 1, number).ptr;
  *end = '\n';
  writeBytes(std::string_view(line, static_cast<std::size_t>(end + 1 - line)));
  lineEnded();
}

void setQuiet(bool quiet) { gQuiet = quiet; }

void progressLine(const char* toolText, std::uint64_t number) {
  if (!gQuiet) numberedLine(toolText, number);
}

void flush() {
  if (!gWaiting.empty()) writeWaiting();
}

void captureOutput(std::string* capture) {
  flush();
  gCapture = capture;
}

}  // namespace console
