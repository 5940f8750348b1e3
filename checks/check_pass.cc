#include "checks/check_pass.h"

#include <cstdint>
#include <memory>
#include <utility>

#include "checks/file_name.h"
#include "console/console.h"
#include "console/console_texts.h"
#include "platform/platform.h"

namespace {

void writeCountLine(std::size_t count) {
  console::write(static_cast<std::uint64_t>(count));
  console::endLine();
}

// Key line, count line and an empty line.
void listGroup(const std::string& key, const std::vector<std::size_t>& members) {
  console::line(key);
  writeCountLine(members.size());
  console::endLine();
}

// Prints the group's count, then each image with its number within the group
// and its bare name, recording every name as a finding.
void reportGroup(const std::vector<std::size_t>& members,
                 const std::vector<platform::FilePath>& images, std::vector<std::string>& findings,
                 bool& errorFlag, ReportMarks marks) {
  console::text(texts::kGroupErrorCount);
  writeCountLine(members.size());
  const console::OutputForms& forms = console::outputForms();
  std::uint64_t number = 1;
  for (const std::size_t image : members) {
    console::text(texts::kErrorImageNumber);
    console::write(number++);
    console::endLine();
    // The name as shown, and in UTF-8 (on Windows from its UTF-16 name) for
    // a UTF-8 console or report.
    const std::string name = fileNameOf(images[image].text);
    const std::string utf8Name =
        forms.consoleUtf8 || forms.reportUtf8 ? platform::utf8NameOf(images[image]) : name;
    findings.push_back(forms.reportUtf8 ? utf8Name : name);
    errorFlag = true;
    if (marks.facts != nullptr && image < marks.facts->size()) {
      (*marks.facts)[image].flaggedBy |= marks.bit;
    }
    console::text(texts::kErrorImageName);
    console::line(console::BothForms{name, utf8Name});
  }
}

// Files image `index` under its value text. A missing image (removed since
// the scan) is not filed: nothing to check and nothing to report. One that
// exists but cannot be read counts like one whose EXIF data cannot be
// decoded: a set must not pass with photos nobody looked at.
void fileImage(const CheckRow& check, ImageFacts& facts, std::size_t index, ValueGroups& groups) {
  if (facts.read == ImageRead::missing) return;
  std::string valueText;
  if (isErrorImage(facts)) {
    valueText = kErrorKey;
  } else if (!check.valueTextOf(facts, valueText)) {
    return;
  }
  groups[std::move(valueText)].push_back(index);
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

ValueGroups fileImages(const CheckRow& check, const std::vector<platform::FilePath>& images,
                       std::vector<ImageFacts>& facts, ReadAheadLimits limits) {
  console::endLine();
  console::write(texts::kImageCount);
  writeCountLine(images.size());

  // The run's first pass reads every image, the later ones use what it kept.
  std::unique_ptr<ReadAheadQueue> reader;
  if (facts.size() != images.size()) {
    facts.clear();
    facts.reserve(images.size());
    reader = std::make_unique<ReadAheadQueue>(
        images.size(),
        [&images](std::size_t index, ReadBuffers& buffers, bool& waited) {
          return readImageFacts(images[index], buffers, waited);
        },
        limits, console::flush);
  }

  ValueGroups groups;
  for (std::size_t index = 0; index < images.size(); ++index) {
    console::text(check.headerText);
    console::write(static_cast<std::uint64_t>(index + 1));
    console::endLine();
    if (!reader) {
      fileImage(check, facts[index], index, groups);
      continue;
    }
    facts.push_back(reader->takeNext());
    // Filing takes memory (a value text, a group): should there be none
    // left while workers read, they end first and the image is filed alone.
    reader->runOnTakingThread([&] { fileImage(check, facts[index], index, groups); });
  }
  return groups;
}

void reportByConsistency(ValueGroups& groups, const std::vector<platform::FilePath>& images,
                         std::vector<std::string>& findings, bool& errorFlag, ReportMarks marks) {
  const auto errorGroup = groups.find(kErrorKey);
  if (errorGroup != groups.end()) {
    listGroup(errorGroup->first, errorGroup->second);
    reportGroup(errorGroup->second, images, findings, errorFlag, marks);
    groups.erase(errorGroup);
  }

  for (const auto& [key, members] : groups) listGroup(key, members);
  if (groups.size() < 2) {
    // Nothing differs from anything: say so with an empty group report.
    reportGroup({}, images, findings, errorFlag, marks);
    return;
  }
  const auto reference = referenceGroupOf(groups);
  for (auto group = groups.begin(); group != groups.end(); ++group) {
    if (group != reference) reportGroup(group->second, images, findings, errorFlag, marks);
  }
}

void reportMissingValues(const ValueGroups& groups, const std::vector<platform::FilePath>& images,
                         const std::string& missingValueKey, std::vector<std::string>& findings,
                         bool& errorFlag, ReportMarks marks) {
  for (const auto& [key, members] : groups) {
    listGroup(key, members);
    if (key == missingValueKey || key == kErrorKey) {
      reportGroup(members, images, findings, errorFlag, marks);
    }
  }
}

void runCheckPass(const CheckRow& check, const std::vector<platform::FilePath>& images,
                  std::vector<ImageFacts>& facts, std::vector<std::string>& findings,
                  bool& errorFlag, std::uint8_t flagBit) {
  ValueGroups groups = fileImages(check, images, facts);
  const ReportMarks marks{&facts, flagBit};
  if (check.rule == ReportingRule::consistencyComparison) {
    reportByConsistency(groups, images, findings, errorFlag, marks);
  } else {
    reportMissingValues(groups, images, check.missingValueKey, findings, errorFlag, marks);
  }
}

CheckOutcome outcomeOf(const CheckRow& check, std::uint8_t flagBit,
                       const std::vector<ImageFacts>& facts) {
  CheckOutcome outcome;
  for (std::size_t index = 0; index < facts.size(); ++index) {
    ImageFacts copy = facts[index];
    fileImage(check, copy, index, outcome.groups);
    if ((facts[index].flaggedBy & flagBit) != 0) outcome.reported.push_back(index);
  }
  return outcome;
}
