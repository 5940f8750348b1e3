// What the four checks found: per check, the bare file names of the images it
// reported, in the order it reported them. The run flow creates the record
// empty, each check appends to its own list only, and the error report turns
// every non-empty list into one group of error.json.
#ifndef PHOTOCHECK_CHECKS_CHECK_FINDINGS_H
#define PHOTOCHECK_CHECKS_CHECK_FINDINGS_H

#include <string>
#include <vector>

struct CheckFindings {
  std::vector<std::string> resolutionImages;   // error code 101
  std::vector<std::string> focalLengthImages;  // error code 103
  std::vector<std::string> gpsImages;          // error code 104
  std::vector<std::string> cameraMakerImages;  // error code 102
};

#endif  // PHOTOCHECK_CHECKS_CHECK_FINDINGS_H
