// One run of the tool, from the command line to the exit status.
#ifndef PHOTOCHECK_APP_RUN_FLOW_H
#define PHOTOCHECK_APP_RUN_FLOW_H

#include <string>

// The six settings, taken by position from the values in ascending key
// order (the position each is taken from stands beside it).
struct RunSettings {
  std::string outputFolder;      // 5
  std::string imageFolder;       // 4
  std::string checkResolution;   // 3
  std::string checkCameraMaker;  // 2
  std::string checkFocalLength;  // 0
  std::string checkGps;          // 1
  // The image folder's settings line held a "#", where its value was cut.
  bool imageFolderCutAtHash = false;
};

// Runs the tool and returns the process exit status: 0 when the set passed,
// 1 when it did not or the run could not be made.
int runPhotocheck(int argc, const char* const* argv);

#endif  // PHOTOCHECK_APP_RUN_FLOW_H
