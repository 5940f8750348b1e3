#include "report/json_writer.h"

#include <cstring>

#include "console/utf8_text.h"
#include "platform/platform.h"

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

void ReportJsonWriter::putBytes(const char* text, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) os_->Put(text[i]);
}

// The escapes RapidJSON's writer makes: \" \\ \b \t \n \f \r, other control
// bytes as \u00XX.
void ReportJsonWriter::putEscaped(unsigned char byte) {
  const char* shortForm = nullptr;
  switch (byte) {
    case '"':
      shortForm = "\\\"";
      break;
    case '\\':
      shortForm = "\\\\";
      break;
    case '\b':
      shortForm = "\\b";
      break;
    case '\t':
      shortForm = "\\t";
      break;
    case '\n':
      shortForm = "\\n";
      break;
    case '\f':
      shortForm = "\\f";
      break;
    case '\r':
      shortForm = "\\r";
      break;
    default:
      break;
  }
  if (shortForm != nullptr) {
    putBytes(shortForm, 2);
  } else if (byte < 0x20) {
    const char escape[] = {'\\', 'u', '0', '0', kHexDigits[byte >> 4], kHexDigits[byte & 15]};
    putBytes(escape, sizeof escape);
  } else {
    os_->Put(static_cast<char>(byte));
  }
}

bool ReportJsonWriter::String(const char* text, rapidjson::SizeType length) {
  Prefix(rapidjson::kStringType);
  os_->Put('"');
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::size_t i = 0;
  while (i < length) {
    const unsigned char byte = bytes[i];
    if (byte < 0x80) {
      putEscaped(byte);
      ++i;
    } else if (utf8_) {
      const std::size_t sequence = utf8SequenceLength(bytes + i, length - i);
      if (sequence != 0) {
        putBytes(text + i, sequence);
        i += sequence;
      } else {
        // U+DC00 + byte: \uDC80 .. \uDCFF.
        const char escape[] = {'\\', 'u', 'D', 'C', kHexDigits[byte >> 4], kHexDigits[byte & 15]};
        putBytes(escape, sizeof escape);
        ++i;
      }
    } else if (platform::startsDoubleByteCharacter(byte) && i + 1 < length &&
               bytes[i + 1] >= 0x40) {
      // A whole double-byte character; no code page has a trail byte below
      // 0x40, so no quote or control byte is ever taken along.
      putBytes(text + i, 2);
      i += 2;
    } else {
      os_->Put(static_cast<char>(byte));
      ++i;
    }
  }
  os_->Put('"');
  return EndValue(true);
}

bool ReportJsonWriter::String(const char* text) {
  return String(text, static_cast<rapidjson::SizeType>(std::strlen(text)));
}
