// This machine's device makers' libraries: shared libraries with C entry points, found beside the
// executable or on the system's library path, never in the current directory.
#include <dlfcn.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/codepage.h"
#include "platform/linux/library_search.h"
#include "platform/linux/linux_device.h"

namespace {

class HostLibrary : public DeviceLibrary {
 public:
  explicit HostLibrary(void* handle) : handle_(handle) {}
  ~HostLibrary() override { ::dlclose(handle_); }
  FARPROC Symbol(const char* name) override {
    return reinterpret_cast<FARPROC>(::dlsym(handle_, name));
  }

 private:
  void* handle_;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The folders of the system's library path: LD_LIBRARY_PATH, the linker's configuration, then
// the standard folders.
std::vector<std::string> SystemLibraryFolders() {
  std::vector<std::string> folders;
  if (const char* env = std::getenv("LD_LIBRARY_PATH")) {
    for (auto& folder : host::SplitSearchPath(env)) folders.push_back(folder);
  }
  std::vector<std::string> pending{"/etc/ld.so.conf"};
  for (std::size_t i = 0; i < pending.size() && i < 64; ++i) {
    const auto config = host::ParseLdSoConf(ReadText(pending[i]));
    folders.insert(folders.end(), config.folders.begin(), config.folders.end());
    for (const auto& pattern : config.includes) {
      const std::string absolute = pattern.starts_with('/') ? pattern : "/etc/" + pattern;
      glob_t matches{};
      if (::glob(absolute.c_str(), 0, nullptr, &matches) == 0) {
        for (std::size_t k = 0; k < matches.gl_pathc; ++k) pending.push_back(matches.gl_pathv[k]);
      }
      ::globfree(&matches);
    }
  }
  for (const char* folder :
       {"/lib/x86_64-linux-gnu", "/usr/lib/x86_64-linux-gnu", "/lib/aarch64-linux-gnu",
        "/usr/lib/aarch64-linux-gnu", "/lib64", "/usr/lib64", "/lib", "/usr/lib"}) {
    folders.emplace_back(folder);
  }
  return folders;
}

// A library file is trusted when it and its folder are regular, owned by root or by us, and
// writable by no one else: another user must not be able to put code into this process.
bool Trusted(const std::string& file) {
  struct stat fileStat {};
  if (::stat(file.c_str(), &fileStat) != 0 || !S_ISREG(fileStat.st_mode)) return false;
  const std::string folder =
      file.substr(0, file.find_last_of('/') == 0 ? 1 : file.find_last_of('/'));
  struct stat folderStat {};
  if (::stat(folder.c_str(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode)) return false;
  const uid_t me = ::geteuid();
  return host::OwnerAndModeTrusted(fileStat.st_uid, fileStat.st_mode, me) &&
         host::OwnerAndModeTrusted(folderStat.st_uid, folderStat.st_mode, me);
}

}  // namespace

std::unique_ptr<DeviceLibrary> LinuxDevice::LoadLibrary(std::u16string_view name) {
  const std::string bare = Utf16ToUtf8(name);
  if (!host::IsBareLibraryName(bare)) return nullptr;
  const std::string executable = options_.executable;
  const std::string exeFolder = executable.substr(0, executable.find_last_of('/'));
  std::vector<std::string> folders;
  if (!exeFolder.empty()) folders.push_back(exeFolder);
  for (auto& folder : SystemLibraryFolders()) folders.push_back(std::move(folder));

  for (const std::string& file : host::LibraryCandidates(bare, folders)) {
    if (::access(file.c_str(), F_OK) != 0) continue;
    if (!Trusted(file)) continue;
    if (void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      return std::make_unique<HostLibrary>(handle);
    }
  }
  return nullptr;
}
