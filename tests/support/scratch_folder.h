// A folder of the test's own under the system's temporary folder, removed
// with everything in it when the test is done. Plain C++, so that tests
// without Qt (and under Wine) have one too.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace testing_support {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    // A name nobody else holds: create_directory says whether it was new.
    do {
      path_ = base / ("corvane-test-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(path_));
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string path() const { return path_.string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The whole of a file, bytes as they are, or "<no file>" when it cannot be
// read.
inline std::string FileContents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return "<no file>";
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace testing_support
