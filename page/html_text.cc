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

// The code point of a valid UTF-8 sequence of `length` (2-4) bytes.
unsigned codePointOf(const unsigned char* bytes, std::size_t length) {
  unsigned codePoint = bytes[0] & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) codePoint = codePoint << 6 | (bytes[i] & 0x3Fu);
  return codePoint;
}

struct CodePointRange {
  unsigned first;
  unsigned last;
};

// The characters a name must not hold unseen, sorted: Unicode's
// Default_Ignorable_Code_Point set (DerivedCoreProperties.txt), which a
// browser draws as nothing (soft hyphen, zero-width space and joiners, the
// bidi marks, fillers, variation selectors, tags), so that DJI_0001<U+200B>.JPG
// would look like DJI_0001.JPG; among them the bidirectional embeddings,
// overrides and isolates, which reorder the text around them; and the line
// and paragraph separators U+2028/2029, which break the line.
constexpr CodePointRange kHiddenOrMoving[] = {
    {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x061C, 0x061C}, {0x115F, 0x1160}, {0x17B4, 0x17B5},
    {0x180B, 0x180F},   {0x200B, 0x200F},   {0x2028, 0x202E}, {0x2060, 0x206F}, {0x3164, 0x3164},
    {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
};

bool shownEscaped(unsigned codePoint) {
  for (const CodePointRange& range : kHiddenOrMoving) {
    if (codePoint < range.first) return false;
    if (codePoint <= range.last) return true;
  }
  return false;
}

// "\uNNNN" for a character of the Basic Multilingual Plane, "\u{NNNNN}"
// (as a script writes it) above.
void appendCodePointEscape(std::string& page, unsigned codePoint) {
  const bool basic = codePoint <= 0xFFFF;
  page += basic ? "\\u" : "\\u{";
  int shift = 12;
  while (codePoint >> shift >> 4 != 0) shift += 4;
  for (; shift >= 0; shift -= 4) page += kHex[(codePoint >> shift) & 0xF];
  if (!basic) page += '}';
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
    if (length > 1 && shownEscaped(codePointOf(sequence, length))) {
      appendCodePointEscape(page, codePointOf(sequence, length));
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
