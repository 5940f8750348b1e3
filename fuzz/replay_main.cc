// Replays a fuzz target's kept inputs without libFuzzer, so that the normal
// build's test suite runs them: links with one fuzz target's source and
// calls its LLVMFuzzerTestOneInput on the empty input and then on every file
// of the folder given (files whose name starts with '.', such as .gitkeep,
// are passed over). A finding shows as the target's own abort, or as a
// sanitizer report in the asan build; each input gets a buffer of exactly its
// size, so a read past its end is seen there.
//
// Usage: <target>_replay <regression folder>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

void replay(const std::string& bytes) {
  // Never a null pointer, also for the empty input, as libFuzzer passes.
  const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), copy.get());
  LLVMFuzzerTestOneInput(copy.get(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <regression folder>\n", argv[0]);
    return 2;
  }
  const fs::path folder = argv[1];
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    std::fprintf(stderr, "no regression folder %s (keep one, with a .gitkeep, per target)\n",
                 argv[1]);
    return 1;
  }
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path().filename().string().rfind('.', 0) != 0) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());

  replay("");
  for (const fs::path& file : files) {
    const std::optional<std::string> bytes = readFileBytes(file.string());
    if (!bytes) {
      std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
      return 1;
    }
    std::fprintf(stderr, "replaying %s\n", file.filename().string().c_str());
    replay(*bytes);
  }
  const std::string done = std::to_string(files.size()) +
                           " kept inputs and the empty input replayed without a finding\n";
  std::fputs(done.c_str(), stdout);
  return 0;
}
