// A folder of its own for one test, standing for "/" or for the executable's folder, filled by the
// test and removed afterwards.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

class TempTree {
 public:
  // Empty, or a copy of the recorded host tree `fixture` (tests/fixtures/hosts/<fixture>), links
  // kept as links. Mode 0755, so the program trusts what is put in it.
  explicit TempTree(const std::string& fixture = {}) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantrace-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
    std::filesystem::permissions(path_, std::filesystem::perms(0755));
    if (!fixture.empty()) CopyOf(std::string(VANTRACE_FIXTURES_DIR) + "/hosts/" + fixture);
  }
  ~TempTree() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string Root() const { return path_.string(); }

  // Writes `bytes` to the file, folders made as needed; returns the file's path.
  std::string Write(const std::string& relativePath, std::string_view bytes) const {
    const std::filesystem::path file = path_ / relativePath;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }
  std::string Read(const std::string& relativePath) const {
    std::ifstream in(path_ / relativePath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void MakeDir(const std::string& relativePath) const {
    std::filesystem::create_directories(path_ / relativePath);
  }
  void Link(const std::string& relativePath, const std::string& target) const {
    const std::filesystem::path link = path_ / relativePath;
    std::filesystem::create_directories(link.parent_path());
    std::filesystem::create_symlink(target, link);
  }
  // Copies the folder `tree` into this one, links kept as links.
  void CopyOf(const std::string& tree) const {
    std::filesystem::copy(
        tree, path_,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
  }

 private:
  std::filesystem::path path_;
};
