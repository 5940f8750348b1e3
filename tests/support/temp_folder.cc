#include "tests/support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string separator() {
#ifdef _WIN32
  return "\\";
#else
  return "/";
#endif
}

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

// A folder below `base` whose name no other process or object uses: the
// clock, a counter, and a retry while the name is taken.
std::string makeFreshFolder(const fs::path& base) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (;;) {
    std::ostringstream name;
    name << "photocheck-test-" << stamp << "-" << counter++;
    const fs::path candidate = base / name.str();
    std::error_code error;
    if (fs::create_directory(candidate, error)) return candidate.string();
    if (error)
      fail("cannot create a temporary folder " + candidate.string() + ": " + error.message());
  }
}

}  // namespace

TempFolder::TempFolder() : path_(makeFreshFolder(fs::temp_directory_path())) {}

TempFolder::TempFolder(const std::string& base) : path_(makeFreshFolder(base)) {}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempFolder::operator/(const std::string& relative) const {
  return path_ + separator() + relative;
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
  // The parent is cut from the text itself: a name in the code page's bytes
  // (GBK under 936) need not convert into a std::filesystem path, and some
  // C++ libraries throw for it; only the parent folders are made through one.
  const std::size_t cut = path.find_last_of(separator() == "/" ? "/" : "/\\");
  if (cut != std::string::npos && cut != 0) {
    try {
      std::error_code ignored;
      fs::create_directories(fs::path(path.substr(0, cut)), ignored);
    } catch (const std::exception&) {
      // The open below fails for a parent that is missing, and says so.
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) fail("cannot write " + path);
}

void writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  writeFileBytes(path, std::string(bytes.begin(), bytes.end()));
}

std::optional<std::string> readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}
