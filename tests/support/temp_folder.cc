#include "tests/support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "gtest/gtest.h"

namespace fs = std::filesystem;

namespace {

std::string separator() {
#ifdef _WIN32
  return "\\";
#else
  return "/";
#endif
}

}  // namespace

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (;;) {
    std::ostringstream name;
    name << "photocheck-test-" << stamp << "-" << counter++;
    fs::path candidate = fs::temp_directory_path() / name.str();
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      break;
    }
    if (error) {
      ADD_FAILURE() << "cannot create a temporary folder: " << error.message();
      path_ = candidate.string();
      break;
    }
  }
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempFolder::operator/(const std::string& relative) const {
  return path_ + separator() + relative;
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
  const fs::path parent = fs::path(path).parent_path();
  std::error_code ignored;
  if (!parent.empty()) fs::create_directories(parent, ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) ADD_FAILURE() << "cannot write " << path;
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

std::string sharedFolder() {
  std::string folder;
  if (const char* fromEnvironment = std::getenv("PHOTOCHECK_SHARED")) folder = fromEnvironment;
  if (folder.empty()) folder = PHOTOCHECK_SHARED_DEFAULT;
  std::error_code error;
  if (!fs::is_directory(fs::path(folder) / "corpus", error)) return "";
  return folder;
}
