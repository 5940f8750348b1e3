#include "report/error_report.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <vector>

#include "app/console.h"
#include "app/console_texts.h"
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

std::string errorReportText(const CheckFindings& findings, bool resolutionFlag,
                            bool cameraMakerFlag, bool focalLengthFlag, bool gpsFlag) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  beginErrors(writer);
  if (resolutionFlag) {
    writeGroup(writer, 101, texts::kResolutionDescription, findings.resolutionImages);
  }
  if (cameraMakerFlag) {
    writeGroup(writer, 102, texts::kCameraMakerDescription, findings.cameraMakerImages);
  }
  if (focalLengthFlag) {
    writeGroup(writer, 103, texts::kFocalLengthDescription, findings.focalLengthImages);
  }
  if (gpsFlag) writeGroup(writer, 104, texts::kGpsDescription, findings.gpsImages);
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

void writeErrorReport(const CheckFindings& findings, const std::string& outputFolder,
                      bool resolutionFlag, bool cameraMakerFlag, bool focalLengthFlag,
                      bool gpsFlag) {
  printAndStore(
      errorReportText(findings, resolutionFlag, cameraMakerFlag, focalLengthFlag, gpsFlag),
      outputFolder);
}

void writeNoImageReport(const std::string& outputFolder) {
  printAndStore(noImageReportText(), outputFolder);
}
