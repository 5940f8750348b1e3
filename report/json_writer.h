// RapidJSON's writer with the string escaping error.json needs beyond its
// own: JSON escapes only for what JSON requires, every other byte as the
// report's character set has it.
//
//   - system bytes (the default): quote, backslash and control bytes are
//     escaped as RapidJSON escapes them, every byte from 0x80 up is copied.
//     A double-byte character of the Windows ANSI code page is copied whole,
//     so that its second byte, which may be 0x5C (the byte of '\': GBK's 誠
//     謀 運, Japanese 乗), stays one character for a reader that decodes the
//     file in its code page; RapidJSON's own writer would escape it and so
//     break the name and, at a name's end, the closing quote.
//   - UTF-8: valid UTF-8 sequences are copied; a byte that is not part of
//     one (a POSIX name in another encoding) becomes the escape of the lone
//     surrogate U+DC00 + byte (\uDC80 to \uDCFF), so the text stays valid
//     UTF-8 and a reader can recover the exact bytes (Python:
//     name.encode("utf-8", "surrogateescape")).
#ifndef PHOTOCHECK_REPORT_JSON_WRITER_H
#define PHOTOCHECK_REPORT_JSON_WRITER_H

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstddef>

class ReportJsonWriter : public rapidjson::Writer<rapidjson::StringBuffer> {
 public:
  ReportJsonWriter(rapidjson::StringBuffer& buffer, bool utf8)
      : rapidjson::Writer<rapidjson::StringBuffer>(buffer), utf8_(utf8) {}

  bool String(const char* text, rapidjson::SizeType length);
  bool String(const char* text);

 private:
  void putEscaped(unsigned char byte);
  void putBytes(const char* text, std::size_t count);
  bool utf8_;
};

#endif  // PHOTOCHECK_REPORT_JSON_WRITER_H
