// Scratch space for fuzz targets that need real files: a private folder on a
// memory file system where there is one, and a console that swallows what
// the code under test prints.
#ifndef PHOTOCHECK_FUZZ_FUZZ_SCRATCH_H
#define PHOTOCHECK_FUZZ_FUZZ_SCRATCH_H

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <streambuf>
#include <string>

namespace fuzzscratch {

inline const std::string& folder() {
  static const std::string path = [] {
    namespace fs = std::filesystem;
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path made = base / ("photocheck-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(made);
    return made.string();
  }();
  return path;
}

// Sends standard output nowhere for the life of the process: the fuzzer's own
// report goes to standard error.
inline void silenceConsole() {
  struct NullBuffer : std::streambuf {
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
  };
  static NullBuffer sink;
  std::cout.rdbuf(&sink);
}

}  // namespace fuzzscratch

#endif  // PHOTOCHECK_FUZZ_FUZZ_SCRATCH_H
