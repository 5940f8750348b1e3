// Catches what the code under test writes to standard output, for as long as
// the object lives: the console writer goes through std::cout, whose buffer
// is swapped for a string's.
#ifndef PHOTOCHECK_TESTS_SUPPORT_CAPTURED_OUTPUT_H
#define PHOTOCHECK_TESTS_SUPPORT_CAPTURED_OUTPUT_H

#include <iostream>
#include <sstream>
#include <string>

struct CapturedOutput {
  std::ostringstream stream;
  std::streambuf* saved = std::cout.rdbuf(stream.rdbuf());
  ~CapturedOutput() { std::cout.rdbuf(saved); }
  CapturedOutput() = default;
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;
  std::string text() const { return stream.str(); }
};

#endif  // PHOTOCHECK_TESTS_SUPPORT_CAPTURED_OUTPUT_H
