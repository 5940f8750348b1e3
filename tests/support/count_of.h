// How often a piece of text stands in a text (overlapping places count), for
// tests that count rows, dots or lines in what the tool wrote.
#ifndef PHOTOCHECK_TESTS_SUPPORT_COUNT_OF_H
#define PHOTOCHECK_TESTS_SUPPORT_COUNT_OF_H

#include <cstddef>
#include <string>

inline std::size_t countOf(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

#endif  // PHOTOCHECK_TESTS_SUPPORT_COUNT_OF_H
