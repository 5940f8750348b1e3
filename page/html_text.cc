#include "page/html_text.h"

#include <cstddef>

#include "console/utf8_text.h"
#include "platform/platform.h"

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void appendByteEscape(std::string& page, unsigned char byte) {
  page += "\\x";
  page += kHex[byte >> 4];
  page += kHex[byte & 0xF];
}

// The code point of a three-byte sequence (1110xxxx 10xxxxxx 10xxxxxx).
unsigned codePointOf3(const unsigned char* bytes) {
  return (bytes[0] & 0x0Fu) << 12 | (bytes[1] & 0x3Fu) << 6 | (bytes[2] & 0x3Fu);
}

// The characters that move the text around them: the bidirectional
// embeddings and overrides U+202A-202E, the isolates U+2066-2069, and the
// line and paragraph separators U+2028/2029. Raw, a name holding one would
// reorder or break the line it stands in.
bool movesText(unsigned codePoint) {
  return (codePoint >= 0x2028 && codePoint <= 0x202E) ||
         (codePoint >= 0x2066 && codePoint <= 0x2069);
}

void appendCodePointEscape(std::string& page, unsigned codePoint) {
  page += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) page += kHex[(codePoint >> shift) & 0xF];
}

// True for a printable ASCII byte that stands for itself in either form
// (not a backslash, which may need its escape).
bool plainByte(char c, bool markup) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte < 0x20 || byte >= 0x7F || c == '\\') return false;
  return !markup || (c != '&' && c != '<' && c != '>' && c != '"' && c != '\'');
}

// The shown form of `text`; with `markup`, & < > " ' as character references.
void appendText(std::string& page, std::string_view text, bool markup) {
  std::size_t at = 0;
  while (at < text.size()) {
    // A run of plain bytes (most of a name) goes in at once.
    std::size_t plain = at;
    while (plain < text.size() && plainByte(text[plain], markup)) ++plain;
    page.append(text.substr(at, plain - at));
    at = plain;
    if (at == text.size()) break;
    const char c = text[at];
    const auto byte = static_cast<unsigned char>(c);
    const std::size_t length = utf8SequenceLength(
        reinterpret_cast<const unsigned char*>(text.data()) + at, text.size() - at);
    // A backslash that may stand in a name (POSIX) is escaped too, so that a
    // name holding the four characters \xFF never looks like one holding the
    // byte 0xFF. On Windows it is the separator and no name holds one.
    const bool nameBackslash = c == '\\' && platform::kPathSeparator != '\\';
    if (length == 0 || byte < 0x20 || byte == 0x7F || nameBackslash) {
      appendByteEscape(page, byte);
      ++at;
      continue;
    }
    const auto* sequence = reinterpret_cast<const unsigned char*>(text.data()) + at;
    if (length == 3 && movesText(codePointOf3(sequence))) {
      appendCodePointEscape(page, codePointOf3(sequence));
      at += length;
      continue;
    }
    if (!markup) {
      page.append(text.substr(at, length));
      at += length;
      continue;
    }
    switch (c) {
      case '&':
        page += "&amp;";
        break;
      case '<':
        page += "&lt;";
        break;
      case '>':
        page += "&gt;";
        break;
      case '"':
        page += "&quot;";
        break;
      case '\'':
        page += "&#39;";
        break;
      default:
        page.append(text.substr(at, length));
    }
    at += length;
  }
}

}  // namespace

void appendHtmlText(std::string& page, std::string_view text) { appendText(page, text, true); }

void appendShownText(std::string& page, std::string_view text) { appendText(page, text, false); }

std::string htmlText(std::string_view text) {
  std::string page;
  appendHtmlText(page, text);
  return page;
}
