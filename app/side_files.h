// The files a run writes beside its report when the environment asks for
// them: the HTML page (PHOTOCHECK_HTML) and the GeoJSON report
// (PHOTOCHECK_GEOJSON). They are made after the run has ended, from what the
// checks left in the per-image facts, so that nothing they need can stop
// the run or change its verdict.
#ifndef PHOTOCHECK_APP_SIDE_FILES_H
#define PHOTOCHECK_APP_SIDE_FILES_H

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "checks/check_table.h"
#include "platform/path_list.h"
#include "platform/platform.h"
#include "reading/image_facts.h"

struct SideFileRun {
  int status = 0;
  // The settings used, as (meaning, value) in the system's text encoding.
  std::vector<std::pair<std::string, std::string>> settings;
  std::string version;
  platform::FilePath settingsPath;
  std::string imageFolder;
  std::string outputFolder;
  const platform::PathList* images = nullptr;      // never null
  const std::vector<ImageFacts>* facts = nullptr;  // empty: no check ran
  std::array<bool, kCheckCount> ran{};
  // The model and serial texts the facts' flight facts number; null where
  // none were kept.
  const FlightTexts* flightTexts = nullptr;
  // PHOTOCHECK_GROUND_M as set (system text); empty where it is not.
  std::string groundText;
};

// Writes the page to `pagePath` and then the GeoJSON report to
// `geoJsonPath`, each where its path is not empty. Each is refused where
// its path holds something it must not replace: the settings file, the
// run's error.json, a listed photo, the other side file (each by identity,
// links followed), or anything but a regular file or a link to one or to
// nothing; and where its folder is the image folder or lies below it (the
// next run would list it). A side file
// that is refused, cannot be written or runs out of memory is told in its
// one console line and is lost alone.
//
// Both show the readiness analyses, made once from the kept facts before
// either is written. A PHOTOCHECK_GROUND_M that is not a plain number is not
// used: both files say so, and one console line after theirs.
void writeSideFiles(const SideFileRun& run, const std::string& pagePath,
                    const std::string& geoJsonPath);

#endif  // PHOTOCHECK_APP_SIDE_FILES_H
