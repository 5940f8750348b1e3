// The run's HTML page: one self-contained UTF-8 file (inline style, SVG and a
// script; nothing fetched) that shows a person, on its first screen, whether
// the set passed and which photos were flagged, by path and why; then where
// they are on a map, each check's groups and the settings. Chinese and
// English, the browser's language shown. Made from what the run already
// has; it reads no photo.
#ifndef PHOTOCHECK_PAGE_PAGE_TEXT_H
#define PHOTOCHECK_PAGE_PAGE_TEXT_H

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "checks/check_pass.h"
#include "checks/check_table.h"
#include "platform/path_list.h"
#include "platform/platform.h"
#include "readiness/readiness_result.h"
#include "reading/image_facts.h"

struct PageInput {
  int status = 0;  // the run's exit status
  // The settings used, as (meaning, value) in the system's text encoding.
  std::vector<std::pair<std::string, std::string>> settings;
  std::string version;             // the tool's version text
  std::string runTime;             // when the run was made, as the header shows it
  std::string runId;               // the run's id, as the GeoJSON report gives it
  std::string folderShown;         // the image folder's full path, UTF-8
  platform::FilePath imageFolder;  // the folder the images were listed under
  const platform::PathList* images = nullptr;
  // What was read of each image; empty when no check ran.
  const std::vector<ImageFacts>* facts = nullptr;
  // Per check row, what its pass found; null for a check that did not run.
  std::array<const CheckOutcome*, kCheckCount> outcomes{};
  // Where set, called before the outcomes are first read: they may still be
  // in the making on another thread until then. May throw std::bad_alloc.
  std::function<void()> awaitOutcomes;
  // Whether the set will reconstruct, and per photo (in the images' order)
  // what was measured of it; null when the analyses did not run, and the
  // page then says nothing of readiness.
  const readiness::ReadinessResult* readiness = nullptr;
};

// Writes the page to `write` piece by piece. False when a piece could not be
// written. May throw std::bad_alloc.
bool writePage(const PageInput& input, const platform::TextPieceWriter& write);

// The whole page as one text (for tests and small sets).
std::string pageText(const PageInput& input);

#endif  // PHOTOCHECK_PAGE_PAGE_TEXT_H
