#include "report/error_report.h"

#include <gtest/gtest.h>

#include <string>

#include "console/console_texts.h"
#include "platform/platform.h"

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

TEST(ErrorReportPath, JoinsWithThePlatformSeparatorAsTheFolderStands) {
  const std::string sep(1, platform::kPathSeparator);
  EXPECT_EQ(errorReportPath("out"), "out" + sep + "error.json");
  EXPECT_EQ(errorReportPath("out" + sep), "out" + sep + sep + "error.json");
}

}  // namespace
