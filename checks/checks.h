// The four image checks. Each runs one check pass over the image list,
// appends the bare names of the images it finds in error to `findings` and
// sets `errorFlag` when it appends anything; it never clears either. Each
// reads the images itself; a run that makes several checks reads them once
// through runCheckPass (checks/check_pass.h) instead.
//
//   resolution    value "<width>*<height>"   consistency comparison
//   camera maker  value: the maker text       consistency comparison
//   focal length  value: 35 mm focal length   missing-value report, key "0"
//   GPS           value "1" when no position  missing-value report, key "1"
#ifndef PHOTOCHECK_CHECKS_CHECKS_H
#define PHOTOCHECK_CHECKS_CHECKS_H

#include <string>
#include <vector>

#include "platform/path_list.h"

void runResolutionCheck(const platform::PathList& images, std::vector<std::string>& findings,
                        bool& errorFlag);
void runCameraMakerCheck(const platform::PathList& images, std::vector<std::string>& findings,
                         bool& errorFlag);
void runFocalLengthCheck(const platform::PathList& images, std::vector<std::string>& findings,
                         bool& errorFlag);
void runGpsCheck(const platform::PathList& images, std::vector<std::string>& findings,
                 bool& errorFlag);

#endif  // PHOTOCHECK_CHECKS_CHECKS_H
