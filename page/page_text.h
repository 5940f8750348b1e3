// The run's HTML page: one self-contained UTF-8 file (inline style, SVG and a
// few lines of script; nothing fetched) that shows a person where in the set
// the flagged photos are. Made from what the run already has; it reads no
// photo.
#ifndef PHOTOCHECK_PAGE_PAGE_TEXT_H
#define PHOTOCHECK_PAGE_PAGE_TEXT_H

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "checks/check_pass.h"
#include "checks/check_table.h"
#include "platform/path_list.h"
#include "platform/platform.h"
#include "reading/image_facts.h"

struct PageInput {
  int status = 0;  // the run's exit status
  // The settings used, as (meaning, value) in the system's text encoding.
  std::vector<std::pair<std::string, std::string>> settings;
  const platform::PathList* images = nullptr;
  // What was read of each image; empty when no check ran.
  const std::vector<ImageFacts>* facts = nullptr;
  // Per check row, what its pass found; null for a check that did not run.
  std::array<const CheckOutcome*, kCheckCount> outcomes{};
};

std::string pageText(const PageInput& input);

#endif  // PHOTOCHECK_PAGE_PAGE_TEXT_H
