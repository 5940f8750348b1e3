#include "checks/check_pass.h"

#include <cstdint>
#include <utility>

#include "checks/file_name.h"
#include "console/console.h"
#include "console/console_texts.h"
#include "exif/exif_record.h"
#include "platform/platform.h"

namespace {

void writeCountLine(std::size_t count) {
  console::write(static_cast<std::uint64_t>(count));
  console::endLine();
}

// Key line, count line and an empty line.
void listGroup(const std::string& key, const std::vector<std::string>& paths) {
  console::line(key);
  writeCountLine(paths.size());
  console::endLine();
}

// Prints the group's count, then each image with its number within the group
// and its bare name, recording every name as a finding.
void reportGroup(const std::vector<std::string>& paths, std::vector<std::string>& findings,
                 bool& errorFlag) {
  console::write(texts::kGroupErrorCount);
  writeCountLine(paths.size());
  std::uint64_t number = 1;
  for (const std::string& path : paths) {
    console::write(texts::kErrorImageNumber);
    console::write(number++);
    console::endLine();
    const std::string name = fileNameOf(path);
    findings.push_back(name);
    errorFlag = true;
    console::write(texts::kErrorImageName);
    console::line(name);
  }
}

// The value text under which one image is filed; false when it is not filed.
// A file that exists but cannot be read counts like one whose EXIF data
// cannot be decoded: a set must not pass with photos nobody looked at.
bool valueTextOfImage(const CheckRow& check, const platform::FileBytes& bytes,
                      platform::ReadStatus status, std::string& valueText) {
  if (status != platform::ReadStatus::ok) {
    valueText = kErrorKey;
    return true;
  }
  ExifRecord record;
  if (record.parseJpeg(bytes.data(), bytes.size()) != exifOk) {
    valueText = kErrorKey;
    return true;
  }
  return check.valueTextOf(record, valueText);
}

// The largest group, the first in key order among equally large ones.
ValueGroups::const_iterator referenceGroupOf(const ValueGroups& groups) {
  auto reference = groups.begin();
  for (auto group = groups.begin(); group != groups.end(); ++group) {
    if (group->second.size() > reference->second.size()) reference = group;
  }
  return reference;
}

}  // namespace

ValueGroups fileImages(const CheckRow& check, const std::vector<platform::FilePath>& images) {
  console::endLine();
  console::write(texts::kImageCount);
  writeCountLine(images.size());

  ValueGroups groups;
  std::uint64_t runningNumber = 1;
  for (const platform::FilePath& path : images) {
    console::write(check.headerText);
    console::write(runningNumber++);
    console::endLine();

    platform::FileBytes bytes;
    const platform::ReadStatus status = platform::readWholeFile(path, bytes);
    // Removed since the scan: nothing to check and nothing to report.
    if (status == platform::ReadStatus::missing) continue;
    std::string valueText;
    const bool filed = valueTextOfImage(check, bytes, status, valueText);
    bytes.release();  // one photo's bytes in memory at a time
    if (filed) groups[valueText].push_back(path.text);
  }
  return groups;
}

void reportByConsistency(ValueGroups& groups, std::vector<std::string>& findings, bool& errorFlag) {
  const auto errorGroup = groups.find(kErrorKey);
  if (errorGroup != groups.end()) {
    listGroup(errorGroup->first, errorGroup->second);
    reportGroup(errorGroup->second, findings, errorFlag);
    groups.erase(errorGroup);
  }

  for (const auto& [key, paths] : groups) listGroup(key, paths);
  if (groups.size() < 2) {
    // Nothing differs from anything: say so with an empty group report.
    reportGroup({}, findings, errorFlag);
    return;
  }
  const auto reference = referenceGroupOf(groups);
  for (auto group = groups.begin(); group != groups.end(); ++group) {
    if (group != reference) reportGroup(group->second, findings, errorFlag);
  }
}

void reportMissingValues(const ValueGroups& groups, const std::string& missingValueKey,
                         std::vector<std::string>& findings, bool& errorFlag) {
  for (const auto& [key, paths] : groups) {
    listGroup(key, paths);
    if (key == missingValueKey || key == kErrorKey) reportGroup(paths, findings, errorFlag);
  }
}

void runCheckPass(const CheckRow& check, const std::vector<platform::FilePath>& images,
                  std::vector<std::string>& findings, bool& errorFlag) {
  ValueGroups groups = fileImages(check, images);
  if (check.rule == ReportingRule::consistencyComparison) {
    reportByConsistency(groups, findings, errorFlag);
  } else {
    reportMissingValues(groups, check.missingValueKey, findings, errorFlag);
  }
}
