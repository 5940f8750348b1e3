// The ANSI code page a two-code-page test program runs under. CMake starts
// it twice, under code page 1252 and under 936, and names the one meant in
// PHOTOCHECK_CODE_PAGE; a test whose Wine did not take that code page from
// the locale fails instead of running the same cases twice.
#ifndef PHOTOCHECK_TESTS_WINDOWS_CODE_PAGE_H
#define PHOTOCHECK_TESTS_WINDOWS_CODE_PAGE_H

#include <windows.h>

#include <cstdlib>
#include <string>

#include "gtest/gtest.h"

namespace codepage {

inline void expectTheIntendedOne() {
  const char* intended = std::getenv("PHOTOCHECK_CODE_PAGE");
  ASSERT_NE(intended, nullptr) << "PHOTOCHECK_CODE_PAGE is not set (see tests/windows)";
  ASSERT_EQ(std::to_string(::GetACP()), intended)
      << "Wine did not take the intended ANSI code page from the locale (scripts/windows.sh "
         "builds the zh_CN.UTF-8 locale into build/windows/locale)";
}

inline bool chinese() { return ::GetACP() == 936; }

// The text of a table row for this code page.
inline const char* pick(const char* under1252, const char* under936) {
  return chinese() ? under936 : under1252;
}

}  // namespace codepage

#endif  // PHOTOCHECK_TESTS_WINDOWS_CODE_PAGE_H
