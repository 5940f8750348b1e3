// Scratch space for fuzz targets that need real files: a private folder,
// on a memory file system where there is one, removed when the process ends;
// and a console that swallows what the code under test prints.
#ifndef PHOTOCHECK_FUZZ_FUZZ_SCRATCH_H
#define PHOTOCHECK_FUZZ_FUZZ_SCRATCH_H

#include <filesystem>
#include <iostream>
#include <streambuf>
#include <string>

#include "tests/support/temp_folder.h"

namespace fuzzscratch {

inline const std::string& folder() {
  static const TempFolder scratch(std::filesystem::is_directory("/dev/shm")
                                      ? std::string("/dev/shm")
                                      : std::filesystem::temp_directory_path().string());
  return scratch.path();
}

// Sends standard output nowhere for the life of the process: the fuzzer's own
// report goes to standard error.
inline void silenceConsole() {
  struct NullBuffer : std::streambuf {
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
  };
  // Never destroyed: std::cout is flushed at exit, after every static of
  // this program is gone, and must still find its buffer.
  static NullBuffer* const sink = new NullBuffer;
  std::cout.rdbuf(sink);
}

}  // namespace fuzzscratch

#endif  // PHOTOCHECK_FUZZ_FUZZ_SCRATCH_H
