#include "report/error_report.h"

#include <gtest/gtest.h>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string>

#include "console/console_texts.h"
#include "platform/platform.h"
#include "report/json_writer.h"

namespace {

const std::string kHead = "{\"errors\":[";
const std::string kTail = "]}";

std::string group(int code, const std::string& description, const std::string& images) {
  return "{\"errcode\":" + std::to_string(code) + ",\"error_des\":\"" + description +
         "\",\"images\":[" + images + "]}";
}

TEST(ErrorReportText, NoImageReportIsTheFixed60Bytes) {
  const std::string text = noImageReportText();
  EXPECT_EQ(text, kHead + "{\"errcode\":105,\"error_des\":\"" + texts::kNoImageDescription + "\"}" +
                      kTail);
  EXPECT_EQ(text.size(), 60u);
}

TEST(ErrorReportText, GroupsFollowTheFlagsInCodeOrder) {
  CheckFindings findings;
  findings.resolutionImages = {"r1.jpg", "r2.jpg"};
  findings.focalLengthImages = {"f.jpg"};
  findings.gpsImages = {"g.jpg"};
  findings.cameraMakerImages = {"m.jpg"};
  const std::string r = group(101, texts::kResolutionDescription, "\"r1.jpg\",\"r2.jpg\"");
  const std::string m = group(102, texts::kCameraMakerDescription, "\"m.jpg\"");
  const std::string f = group(103, texts::kFocalLengthDescription, "\"f.jpg\"");
  const std::string g = group(104, texts::kGpsDescription, "\"g.jpg\"");
  struct Case {
    bool resolution, maker, focal, gps;
    std::string groups;
  };
  const Case cases[] = {
      {true, true, true, true, r + "," + m + "," + f + "," + g},
      {true, false, false, false, r},
      {false, false, false, true, g},
      {false, true, true, false, m + "," + f},
      {false, false, false, false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(errorReportText(findings, {c.resolution, c.maker, c.focal, c.gps}),
              kHead + c.groups + kTail);
  }
}

TEST(ErrorReportText, AFlagWithAnEmptyListGivesAnEmptyArray) {
  EXPECT_EQ(errorReportText(CheckFindings{}, {false, false, false, true}),
            kHead + group(104, texts::kGpsDescription, "") + kTail);
}

// Names go out as their bytes: only quote, backslash and control bytes are
// escaped, the way RapidJSON's Writer escapes them.
TEST(ErrorReportText, NamesAreEscapedOnlyWhereJsonNeedsIt) {
  struct Case {
    std::string name, written;
  };
  const Case cases[] = {
      {"\xd5\xd5\xc6\xac.jpg", "\xd5\xd5\xc6\xac.jpg"},  // GBK, no \u escape
      {"\xff\x80\x7f/.jpg", "\xff\x80\x7f/.jpg"},        // not UTF-8, DEL, slash
      {"a\"b\\c", "a\\\"b\\\\c"},
      {"\b\t\n\f\r", "\\b\\t\\n\\f\\r"},
      {std::string("\x00\x01\x0b\x0e\x1f", 5), "\\u0000\\u0001\\u000B\\u000E\\u001F"},
      {"-lead.jpg", "-lead.jpg"},
  };
  for (const Case& c : cases) {
    CheckFindings findings;
    findings.gpsImages = {c.name};
    EXPECT_EQ(errorReportText(findings, {false, false, false, true}),
              kHead + group(104, texts::kGpsDescription, "\"" + c.written + "\"") + kTail);
  }
}

std::string written(const std::string& text, bool utf8) {
  rapidjson::StringBuffer buffer;
  ReportJsonWriter writer(buffer, utf8);
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
  return std::string(buffer.GetString(), buffer.GetSize());
}

// Each byte alone, in the system's form, is written as RapidJSON's own writer
// writes it: the report's bytes stay what they were.
TEST(ReportJsonWriter, SystemFormWritesEveryByteAsRapidJsonDoes) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string text = "a" + std::string(1, static_cast<char>(byte)) + "z";
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> plain(buffer);
    plain.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    EXPECT_EQ(written(text, false), std::string(buffer.GetString(), buffer.GetSize())) << byte;
  }
}

// In UTF-8, a byte that is not part of a valid sequence is the escape of the
// lone surrogate U+DC00 + byte; valid sequences, up to four bytes, are copied.
TEST(ReportJsonWriter, Utf8FormEscapesEachByteThatIsNotUtf8) {
  struct Case {
    std::string text, json;
  };
  const Case cases[] = {
      {u8"照片_0011.JPG", u8"\"照片_0011.JPG\""},
      {u8"Ōsaka 😀", u8"\"Ōsaka 😀\""},
      {"\xd5\xd5.jpg", "\"\\uDCD5\\uDCD5.jpg\""},                // GBK
      {"\xc3\x28", "\"\\uDCC3(\""},                              // cut sequence
      {"\xc0\xaf", "\"\\uDCC0\\uDCAF\""},                        // overlong '/'
      {"\xed\xa0\x80", "\"\\uDCED\\uDCA0\\uDC80\""},             // a surrogate
      {"\xf4\x90\x80\x80", "\"\\uDCF4\\uDC90\\uDC80\\uDC80\""},  // above U+10FFFF
      {"\xe7\x85", "\"\\uDCE7\\uDC85\""},                        // ends early
      {"\xff\"\\\n", "\"\\uDCFF\\\"\\\\\\n\""},                  // with JSON escapes
  };
  for (const Case& c : cases) EXPECT_EQ(written(c.text, true), c.json) << c.json;
}

TEST(ErrorReportText, Utf8ReportHoldsTheUtf8Descriptions) {
  CheckFindings findings;
  findings.gpsImages = {"g.jpg"};
  EXPECT_EQ(errorReportText(findings, {false, false, false, true}, true),
            kHead + group(104, u8"没有gps信息.", "\"g.jpg\"") + kTail);
  EXPECT_EQ(noImageReportText(true),
            kHead + u8"{\"errcode\":105,\"error_des\":\"没检测到影像数据.\"}" + kTail);
}

TEST(ErrorReportPath, JoinsWithThePlatformSeparatorAsTheFolderStands) {
  const std::string sep(1, platform::kPathSeparator);
  EXPECT_EQ(errorReportPath("out"), "out" + sep + "error.json");
  EXPECT_EQ(errorReportPath("out" + sep), "out" + sep + sep + "error.json");
}

}  // namespace
