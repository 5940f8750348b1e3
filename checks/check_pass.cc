#include "checks/check_pass.h"

#include <cstdint>
#include <memory>
#include <new>
#include <unordered_map>
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
void reportGroup(const std::vector<std::size_t>& members, const platform::PathList& images,
                 std::vector<std::string>& findings, bool& errorFlag, ReportMarks marks) {
  console::text(texts::kGroupErrorCount);
  writeCountLine(members.size());
  const console::OutputForms& forms = console::outputForms();
  std::uint64_t number = 1;
  for (const std::size_t image : members) {
    console::numberedLine(texts::kErrorImageNumber, number++);
    // The name as shown, and in UTF-8 (on Windows from its UTF-16 name) for
    // a UTF-8 console or report.
    const platform::FilePath path = images[image];
    const std::string name = fileNameOf(path.text);
    const std::string utf8Name =
        forms.consoleUtf8 || forms.reportUtf8 ? platform::utf8NameOf(path) : name;
    findings.push_back(forms.reportUtf8 ? utf8Name : name);
    errorFlag = true;
    if (marks.facts != nullptr && image < marks.facts->size()) {
      (*marks.facts)[image].flaggedBy |= marks.bit;
    }
    console::text(texts::kErrorImageName);
    console::line(console::BothForms{name, utf8Name});
  }
}

// The value text image `index` is filed under by `check`; false when it is
// not filed. A missing image (removed since the scan) is not filed: nothing
// to check and nothing to report. One that exists but cannot be read counts
// like one whose EXIF data cannot be decoded: a set must not pass with
// photos nobody looked at.
bool valueTextOf(const CheckRow& check, const ImageFacts& facts, std::string& valueText) {
  if (facts.read == ImageRead::missing) return false;
  if (isErrorImage(facts)) {
    valueText = kErrorKey;
    return true;
  }
  return check.valueTextOf(facts, valueText);
}

// The value texts of a later check while the first pass makes them: each
// text's number by the text, and the number of the latest image's text.
struct TextNumbers {
  std::unordered_map<std::string, std::uint32_t> byText;
  std::uint32_t latest = KeptValues::kNotFiled;
};

// Keeps `valueText` (when `filed`) as the next image's value of `values`.
// Photos side by side mostly share their value: the latest text is tried
// before the text is hashed.
void keepValue(KeptValues& values, TextNumbers& numbers, bool filed, const std::string& valueText) {
  if (!filed) {
    values.ofImage.push_back(KeptValues::kNotFiled);
    return;
  }
  if (numbers.latest == KeptValues::kNotFiled || values.texts[numbers.latest] != valueText) {
    auto found = numbers.byText.find(valueText);
    if (found == numbers.byText.end()) {
      const auto number = static_cast<std::uint32_t>(values.texts.size());
      values.texts.push_back(valueText);
      found = numbers.byText.emplace(valueText, number).first;
    }
    numbers.latest = found->second;
  }
  values.ofImage.push_back(numbers.latest);
}

// The groups of the images by the value texts kept for them, taking the
// texts out of `values`. Each group's positions are counted first, so its
// vector is made once, at its size.
ValueGroups groupsOfKept(KeptValues& values) {
  std::vector<std::vector<std::size_t>> members(values.texts.size());
  {
    std::vector<std::size_t> sizes(values.texts.size(), 0);
    for (const std::uint32_t text : values.ofImage) {
      if (text != KeptValues::kNotFiled) ++sizes[text];
    }
    for (std::size_t text = 0; text < sizes.size(); ++text) members[text].reserve(sizes[text]);
  }
  for (std::size_t image = 0; image < values.ofImage.size(); ++image) {
    const std::uint32_t text = values.ofImage[image];
    if (text != KeptValues::kNotFiled) members[text].push_back(image);
  }
  ValueGroups groups;
  for (std::size_t text = 0; text < members.size(); ++text) {
    groups.emplace(std::move(values.texts[text]), std::move(members[text]));
  }
  values = KeptValues{};
  return groups;
}

// The values kept for `check`, or null.
KeptValues* keptValuesOf(const CheckRow& check, KeptImages& kept) {
  for (KeptValues& values : kept.values) {
    if (values.check == &check) return &values;
  }
  return nullptr;
}

// Lets go of the facts kept for the side files (they alone are lost) and
// keeps no more.
void dropFacts(KeptImages& kept) {
  if (!kept.keepFacts) return;
  std::vector<ImageFacts>().swap(kept.facts);
  if (kept.flightTexts) kept.flightTexts->wanted = false;
  kept.keepFacts = false;
  kept.factsDropped = true;
}

// The facts a shortage may take, while letFactsGoWhenShort holds them out.
KeptImages* gFactsToGive = nullptr;

// The new-handler: gives the facts' memory back once, then gives up, so
// that operator new throws as it would without it.
void giveFactsBack() {
  KeptImages* kept = gFactsToGive;
  gFactsToGive = nullptr;
  std::set_new_handler(nullptr);
  if (kept != nullptr) dropFacts(*kept);
}

void writeHeaderLine(const CheckRow& check, std::size_t index) {
  console::progressLine(check.headerText, static_cast<std::uint64_t>(index + 1));
}

// The first pass: reads every image, files it under this check's value text
// and keeps what the later passes need.
ValueGroups readAndFileImages(const CheckRow& check, const platform::PathList& images,
                              KeptImages& kept, ReadAheadLimits limits) {
  const bool keeping = !kept.read;
  kept.read = true;
  std::vector<TextNumbers> numbers;
  if (keeping) {
    // What the run needs first: the room for the facts is what is left.
    kept.values.resize(kept.laterChecks.size());
    numbers.resize(kept.laterChecks.size());
    for (std::size_t later = 0; later < kept.laterChecks.size(); ++later) {
      kept.values[later].check = kept.laterChecks[later];
      kept.values[later].ofImage.reserve(images.size());
    }
    if (kept.keepFacts) {
      try {
        kept.flightTexts = std::make_unique<FlightTexts>();
        kept.facts.reserve(images.size());
        platform::adviseLargePages(kept.facts.data(), kept.facts.capacity() * sizeof(ImageFacts));
      } catch (const std::bad_alloc&) {
        dropFacts(kept);
      }
    }
  }
  ReadAheadQueue reader(
      images.size(),
      [&images, flight = kept.keepFacts ? kept.flightTexts.get() : nullptr](
          std::size_t index, ReadBuffers& buffers, bool& waited) {
        return readImageFacts(images[index], buffers, waited, flight);
      },
      limits, console::flush, [&kept] { dropFacts(kept); });

  ValueGroups groups;
  auto latestGroup = groups.end();
  std::string valueText;
  std::string laterText;
  for (std::size_t index = 0; index < images.size(); ++index) {
    writeHeaderLine(check, index);
    // In the queue's slot: read, or moved into the kept facts, in place.
    ImageFacts& facts = reader.takeNext();
    // Filing takes memory (value texts, a group): should there be none left
    // while workers read, they end first and the image is filed again,
    // alone. The facts are only read until the last step, which cannot
    // throw (room for every image's facts is reserved), so a second try
    // starts from what the first had.
    const auto file = [&] {
      const bool filed = valueTextOf(check, facts, valueText);
      for (std::size_t later = 0; keeping && later < kept.values.size(); ++later) {
        KeptValues& values = kept.values[later];
        values.ofImage.resize(index);  // what a try that ran short kept goes
        const bool laterFiled = valueTextOf(*values.check, facts, laterText);
        keepValue(values, numbers[later], laterFiled, laterText);
      }
      if (filed) {
        // Photos side by side mostly share their value: their group is the
        // latest image's.
        if (latestGroup == groups.end() || latestGroup->first != valueText) {
          latestGroup = groups.try_emplace(valueText).first;
        }
        latestGroup->second.push_back(index);
      }
      if (keeping && kept.keepFacts) kept.facts.push_back(std::move(facts));
    };
    // Where the kept facts leave no memory for filing, they go first, and
    // the image is filed as in a run that never kept them.
    if (kept.keepFacts) {
      try {
        file();
        continue;
      } catch (const std::bad_alloc&) {
        dropFacts(kept);
      }
    }
    reader.runOnTakingThread(file);
  }
  return groups;
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

ValueGroups fileImages(const CheckRow& check, const platform::PathList& images, KeptImages& kept,
                       ReadAheadLimits limits) {
  console::endLine();
  console::write(texts::kImageCount);
  writeCountLine(images.size());

  // The run's first pass reads every image, the later ones use what it kept.
  KeptValues* values = kept.read ? keptValuesOf(check, kept) : nullptr;
  const bool facts = kept.read && kept.facts.size() == images.size();
  if (values == nullptr && !facts) return readAndFileImages(check, images, kept, limits);

  ValueGroups groups;
  std::string valueText;
  for (std::size_t index = 0; index < images.size(); ++index) {
    writeHeaderLine(check, index);
    if (values == nullptr && valueTextOf(check, kept.facts[index], valueText)) {
      groups[std::move(valueText)].push_back(index);
    }
  }
  return values != nullptr ? groupsOfKept(*values) : groups;
}

void reportByConsistency(ValueGroups& groups, const platform::PathList& images,
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

void reportMissingValues(const ValueGroups& groups, const platform::PathList& images,
                         const std::string& missingValueKey, std::vector<std::string>& findings,
                         bool& errorFlag, ReportMarks marks) {
  for (const auto& [key, members] : groups) {
    listGroup(key, members);
    if (key == missingValueKey || key == kErrorKey) {
      reportGroup(members, images, findings, errorFlag, marks);
    }
  }
}

void runCheckPass(const CheckRow& check, const platform::PathList& images, KeptImages& kept,
                  std::vector<std::string>& findings, bool& errorFlag, std::uint8_t flagBit) {
  ValueGroups groups = fileImages(check, images, kept);
  const ReportMarks marks{kept.facts.size() == images.size() ? &kept.facts : nullptr, flagBit};
  if (check.rule == ReportingRule::consistencyComparison) {
    reportByConsistency(groups, images, findings, errorFlag, marks);
  } else {
    reportMissingValues(groups, images, check.missingValueKey, findings, errorFlag, marks);
  }
}

std::array<CheckOutcome, kCheckCount> outcomesOf(const CheckFlags& ran,
                                                 const std::vector<ImageFacts>& facts) {
  std::array<CheckOutcome, kCheckCount> outcomes;
  // One walk over the facts of a large set, which no longer sit in the
  // processor's caches, rather than one per check. Photos side by side
  // mostly share their value: each check's last group is tried first.
  std::array<ValueGroups::iterator, kCheckCount> last;
  for (std::size_t c = 0; c < kCheckCount; ++c) last[c] = outcomes[c].groups.end();
  std::string valueText;
  for (std::size_t index = 0; index < facts.size(); ++index) {
    for (std::size_t c = 0; c < kCheckCount; ++c) {
      if (!ran[c]) continue;
      CheckOutcome& outcome = outcomes[c];
      if (valueTextOf(kCheckRows[c], facts[index], valueText)) {
        if (last[c] == outcome.groups.end() || last[c]->first != valueText) {
          last[c] = outcome.groups.try_emplace(valueText).first;
        }
        last[c]->second.push_back(index);
      }
      if ((facts[index].flaggedBy & (1u << c)) != 0) outcome.reported.push_back(index);
    }
  }
  return outcomes;
}

void letFactsGoWhenShort(KeptImages* kept) {
  gFactsToGive = kept != nullptr && kept->keepFacts ? kept : nullptr;
  std::set_new_handler(gFactsToGive != nullptr ? giveFactsBack : nullptr);
}
