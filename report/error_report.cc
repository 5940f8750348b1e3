#include "report/error_report.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <vector>

#include "console/console.h"
#include "console/console_texts.h"
#include "platform/platform.h"

namespace {

// UTF-8 in and out without validation: every byte from 0x80 up is copied as
// it stands, so GBK descriptions and names in the ANSI code page pass through.
using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

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

// Prints the report, then stores it; a report that cannot be stored is told
// on the console right after the JSON line.
void printAndStore(const std::string& json, const std::string& outputFolder) {
  console::line(json);
  const std::string path = errorReportPath(outputFolder);
  if (!platform::replaceFile(path, json)) {
    console::write(texts::kCannotWrite);
    console::line(path);
  }
}

}  // namespace

std::string errorReportText(const CheckFindings& findings, const CheckFlags& flags) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  beginErrors(writer);
  for (std::size_t i = 0; i < kCheckCount; ++i) {
    const CheckRow& check = kCheckRows[i];
    if (flags[i]) writeGroup(writer, check.errorCode, check.description, findings.*check.findings);
  }
  endErrors(writer);
  return std::string(buffer.GetString(), buffer.GetSize());
}

std::string noImageReportText() {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  beginErrors(writer);
  writer.StartObject();
  writer.Key("errcode");
  writer.Int(105);
  writer.Key("error_des");
  writer.String(texts::kNoImageDescription);
  writer.EndObject();
  endErrors(writer);
  return std::string(buffer.GetString(), buffer.GetSize());
}

std::string errorReportPath(const std::string& outputFolder) {
  return outputFolder + platform::kPathSeparator + "error.json";
}

void writeErrorReport(const CheckFindings& findings, const CheckFlags& flags,
                      const std::string& outputFolder) {
  printAndStore(errorReportText(findings, flags), outputFolder);
}

void writeNoImageReport(const std::string& outputFolder) {
  printAndStore(noImageReportText(), outputFolder);
}
