#include "app/side_files.h"

#include <filesystem>
#include <new>
#include <optional>
#include <system_error>

#include "app/run_identity.h"
#include "app/survey_photos.h"
#include "console/console.h"
#include "console/console_texts.h"
#include "geojson/geojson_report.h"
#include "page/page_file.h"
#include "readiness/readiness.h"

namespace {

// The identities a side file must never take the place of. The photos'
// own come from their reads; only a photo that was not opened (none at all
// when no check ran) is asked for its identity, and only when a regular
// file stands at the side file's path.
struct Protected {
  const SideFileRun& run;
  const std::string* otherSideFile;  // the page, for the GeoJSON report
  bool known = false;
  platform::FileIdentity settings;
  platform::FileIdentity report;
  platform::FileIdentity other;

  // Asks for the identities of the files named by path (a few requests).
  void learn() {
    if (known) return;
    settings = platform::identityOf(run.settingsPath);
    report = platform::identityOf(reportPath());
    if (otherSideFile != nullptr && !otherSideFile->empty()) {
      other = platform::identityOf(platform::FilePath(*otherSideFile));
    }
    known = true;
  }

  // The file written is the output folder's error.json, reached by a name
  // the guard could not tell beforehand (the report's own, another case of
  // it, a linked folder): on a run that wrote no report.
  bool isTheReport(const platform::FileIdentity& written) const {
    return written == platform::identityOf(reportPath());
  }

  platform::FilePath reportPath() const {
    return platform::FilePath(run.outputFolder + platform::kPathSeparator + "error.json");
  }

  bool holds(const platform::FileIdentity& id) const {
    if (id == settings || id == report || id == other) return true;
    const platform::PathList& images = *run.images;
    for (std::size_t i = 0; i < images.size(); ++i) {
      const ImageFacts* facts =
          run.facts != nullptr && i < run.facts->size() ? &(*run.facts)[i] : nullptr;
      if (facts != nullptr && platform::isKnown(facts->identity)) {
        if (facts->identity == id) return true;
      } else if ((facts == nullptr || facts->read != ImageRead::missing) &&
                 platform::identityOf(images[i]) == id) {
        return true;
      }
    }
    return false;
  }
};

// The image folder's full path in UTF-8 (the folder text as given where the
// working folder cannot be asked).
std::string fullPathOf(const std::string& folder) {
  namespace fs = std::filesystem;
  const std::string utf8 = platform::utf8FromSystemText(folder);
  std::error_code error;
  const fs::path full = fs::absolute(fs::u8path(utf8), error);
  return error ? utf8 : full.lexically_normal().u8string();
}

// What the readiness analyses make of the run, and the ground height they
// were given.
struct ReadinessRun {
  readiness::ReadinessResult result;
  std::optional<double> groundM;
  bool groundIgnored = false;  // set, but not a plain number
};

// The photos' SurveyPhoto list lives only for the analyses: the result is
// what the side files read.
ReadinessRun readinessOf(const SideFileRun& run) {
  ReadinessRun made;
  made.groundM = groundHeightOf(run.groundText);
  made.groundIgnored = !run.groundText.empty() && !made.groundM;
  readiness::SurveyOptions options;
  options.groundAltitudeM = made.groundM;
  static const std::vector<ImageFacts> kNoFacts;
  made.result = readiness::analyzeReadiness(
      surveyPhotosOf(run.facts != nullptr ? *run.facts : kNoFacts, run.flightTexts), options);
  return made;
}

PageInput pageInputOf(const SideFileRun& run, const RunIdentity& identity,
                      const ReadinessRun& readiness) {
  PageInput page;
  page.status = run.status;
  page.settings = run.settings;
  page.version = run.version;
  page.runTime = identity.shownTime;
  page.runId = identity.id;
  page.folderShown = fullPathOf(run.imageFolder);
  page.imageFolder = platform::FilePath(run.imageFolder);
  page.images = run.images;
  page.facts = run.facts;
  page.readiness = &readiness.result;
  return page;
}

GeoJsonInput geoJsonInputOf(const SideFileRun& run, const RunIdentity& identity,
                            const ReadinessRun& readiness) {
  GeoJsonInput input;
  input.status = run.status;
  input.settings = run.settings;
  input.version = run.version;
  input.runId = identity.id;
  input.runTime = identity.isoTime;
  input.folderShown = fullPathOf(run.imageFolder);
  input.imageFolder = platform::FilePath(run.imageFolder);
  input.images = run.images;
  input.facts = run.facts;
  input.ran = run.ran;
  input.readiness = &readiness.result;
  input.groundM = readiness.groundM;
  if (readiness.groundIgnored) input.groundIgnored = platform::utf8FromSystemText(run.groundText);
  return input;
}

// Writes one side file through `write`, which is given the rules its path
// must pass; its console line when it is not written.
template <typename Write>
void writeOne(const std::string& path, const char* cannotWrite, Protected& guard, Write write) {
  bool written = false;
  console::flush();
  try {
    guard.learn();
    platform::SideFileRules rules;
    rules.mustStay = [&guard](const platform::FileIdentity& id) { return guard.holds(id); };
    // A run that passes writes no error.json, and callers take one for a
    // failed set: a side file that became it is taken back.
    rules.mustNotBecome = [&guard](const platform::FileIdentity& id) {
      return guard.isTheReport(id);
    };
    // The next run would list a side file in the image folder as one of
    // its photos, and fail a set that passed.
    rules.imageFolder = platform::identityOf(platform::FilePath(guard.run.imageFolder));
    written = write(rules);
  } catch (const std::bad_alloc&) {
    written = false;  // too large for the memory left: told like any failure
  }
  if (!written) {
    console::write(cannotWrite);
    console::line(path);
  }
}

}  // namespace

void writeSideFiles(const SideFileRun& run, const std::string& pagePath,
                    const std::string& geoJsonPath) {
  // One identity for both files, so a page and a report tell the same run.
  const RunIdentity identity = makeRunIdentity();
  const ReadinessRun readiness = readinessOf(run);
  if (!pagePath.empty()) {
    Protected guard{run, nullptr, false, {}, {}, {}};
    writeOne(pagePath, texts::kCannotWritePage, guard, [&](const platform::SideFileRules& rules) {
      return writePageFile(pagePath, rules, pageInputOf(run, identity, readiness), run.ran);
    });
  }
  if (!geoJsonPath.empty()) {
    Protected guard{run, &pagePath, false, {}, {}, {}};
    writeOne(
        geoJsonPath, texts::kCannotWriteGeoJson, guard, [&](const platform::SideFileRules& rules) {
          return writeGeoJsonFile(geoJsonPath, rules, geoJsonInputOf(run, identity, readiness));
        });
  }
  if (readiness.groundIgnored) {
    console::write(texts::kGroundHeightNotUsed);
    console::line(run.groundText);
  }
}
