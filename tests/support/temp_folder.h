// Files for tests, the sample-set generator and the fuzz harnesses: a fresh
// folder removed with everything in it at the end, and whole-file writes and
// reads. Nothing here needs GoogleTest. A caller cannot go on without its
// folder or its files, so a failure to make them is reported on standard
// error and aborts the program (in a test run: fails that one test).
#ifndef PHOTOCHECK_TESTS_SUPPORT_TEMP_FOLDER_H
#define PHOTOCHECK_TESTS_SUPPORT_TEMP_FOLDER_H

#include <optional>
#include <string>
#include <vector>

class TempFolder {
 public:
  // A new folder below the system's temporary folder.
  TempFolder();
  // A new folder below `base` (for a fuzz harness: a memory file system).
  explicit TempFolder(const std::string& base);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's path, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() joined with `relative` by the platform's separator.
  std::string operator/(const std::string& relative) const;

 private:
  std::string path_;
};

// Writes `bytes` to `path`, creating missing parent folders.
void writeFileBytes(const std::string& path, const std::string& bytes);
void writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);
// The whole file, or nothing when it cannot be read.
std::optional<std::string> readFileBytes(const std::string& path);

#endif  // PHOTOCHECK_TESTS_SUPPORT_TEMP_FOLDER_H
