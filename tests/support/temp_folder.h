// A fresh folder for one test, removed with everything in it at the end.
#ifndef PHOTOCHECK_TESTS_SUPPORT_TEMP_FOLDER_H
#define PHOTOCHECK_TESTS_SUPPORT_TEMP_FOLDER_H

#include <optional>
#include <string>
#include <vector>

class TempFolder {
 public:
  TempFolder();
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

// The shared test corpus folder (photos with known EXIF values), or empty when
// it is not there; tests that need it skip then.
std::string sharedFolder();

#endif  // PHOTOCHECK_TESTS_SUPPORT_TEMP_FOLDER_H
