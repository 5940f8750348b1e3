// Catches what the code under test writes to standard output, for as long as
// the object lives: the console writer hands its bytes to a string instead.
#ifndef PHOTOCHECK_TESTS_SUPPORT_CAPTURED_OUTPUT_H
#define PHOTOCHECK_TESTS_SUPPORT_CAPTURED_OUTPUT_H

#include <string>

#include "console/console.h"

struct CapturedOutput {
  std::string captured;
  CapturedOutput() { console::captureOutput(&captured); }
  ~CapturedOutput() { console::captureOutput(nullptr); }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;
  std::string text() const { return captured; }
};

#endif  // PHOTOCHECK_TESTS_SUPPORT_CAPTURED_OUTPUT_H
