#include "report/error_report.h"

#include <rapidjson/stringbuffer.h>

#include <vector>

#include "console/console.h"
#include "console/console_texts.h"
#include "platform/platform.h"
#include "report/json_writer.h"

namespace {

using JsonWriter = ReportJsonWriter;

// A description in the report's character set.
const char* descriptionText(const char* description, bool utf8) {
  return utf8 ? texts::utf8FormOf(description) : description;
}

void writeText(JsonWriter& writer, const std::string& text) {
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void beginErrors(JsonWriter& writer) {
  writer.StartObject();
  writer.Key("errors");
  writer.StartArray();
}

void endErrors(JsonWriter& writer) {
  writer.EndArray();
  writer.EndObject();
}

void writeGroup(JsonWriter& writer, int code, const char* description,
                const std::vector<std::string>& images) {
  writer.StartObject();
  writer.Key("errcode");
  writer.Int(code);
  writer.Key("error_des");
  writer.String(description);
  writer.Key("images");
  writer.StartArray();
  for (const std::string& name : images) writeText(writer, name);
  writer.EndArray();
  writer.EndObject();
}

// The findings with every name in UTF-8, for a UTF-8 console beside a report
// in the system's bytes.
CheckFindings utf8Findings(const CheckFindings& findings) {
  CheckFindings converted = findings;
  for (const CheckRow& check : kCheckRows) {
    for (std::string& name : converted.*check.findings) name = platform::utf8FromSystemText(name);
  }
  return converted;
}

// Prints the report, then stores it; a report that cannot be stored is told
// on the console right after the JSON line. A UTF-8 console is shown the
// report's UTF-8 text: the stored one when the report is UTF-8 itself.
void printAndStore(const std::string& json, const std::string& utf8Json,
                   const std::string& outputFolder) {
  console::line(console::BothForms{json, utf8Json});
  const std::string path = errorReportPath(outputFolder);
  console::flush();
  if (!platform::replaceFile(path, json)) {
    console::write(texts::kCannotWrite);
    console::line(path);
  }
}

}  // namespace

std::string errorReportText(const CheckFindings& findings, const CheckFlags& flags, bool utf8) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer, utf8);
  beginErrors(writer);
  for (std::size_t i = 0; i < kCheckCount; ++i) {
    const CheckRow& check = kCheckRows[i];
    if (flags[i]) {
      writeGroup(writer, check.errorCode, descriptionText(check.description, utf8),
                 findings.*check.findings);
    }
  }
  endErrors(writer);
  return std::string(buffer.GetString(), buffer.GetSize());
}

std::string noImageReportText(bool utf8) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer, utf8);
  beginErrors(writer);
  writer.StartObject();
  writer.Key("errcode");
  writer.Int(105);
  writer.Key("error_des");
  writer.String(descriptionText(texts::kNoImageDescription, utf8));
  writer.EndObject();
  endErrors(writer);
  return std::string(buffer.GetString(), buffer.GetSize());
}

std::string errorReportPath(const std::string& outputFolder) {
  return outputFolder + platform::kPathSeparator + "error.json";
}

void writeErrorReport(const CheckFindings& findings, const CheckFlags& flags,
                      const std::string& outputFolder) {
  const console::OutputForms& forms = console::outputForms();
  const std::string json = errorReportText(findings, flags, forms.reportUtf8);
  const bool convert = forms.consoleUtf8 && !forms.reportUtf8;
  printAndStore(json, convert ? errorReportText(utf8Findings(findings), flags, true) : json,
                outputFolder);
}

void writeNoImageReport(const std::string& outputFolder) {
  const std::string json = noImageReportText(console::outputForms().reportUtf8);
  printAndStore(json, noImageReportText(true), outputFolder);
}
