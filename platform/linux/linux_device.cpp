// This Linux machine as the device: process, clock, message boxes, files and folders.
#include "platform/linux/linux_device.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "platform/codepage.h"

namespace {

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case ELOOP:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_NOT_SUPPORTED;
  }
}

// A file opened on the host. Each Write is one write(2): on a file opened for appending, the kernel
// places the whole piece at the end at once, so two runs appending together never mix their lines.
class HostFile : public DeviceFile {
 public:
  explicit HostFile(int fd) : fd_(fd) {}
  ~HostFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  std::size_t Read(void* data, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_, data, size);
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) return 0;
    }
  }

  std::size_t Write(const void* data, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::write(fd_, data, size);
      if (n >= 0) {
        written_ = true;
        return static_cast<std::size_t>(n);
      }
      if (errno != EINTR) return 0;
    }
  }

  bool Seek(std::int64_t offset, Origin origin) override {
    return ::lseek(fd_, static_cast<off_t>(offset),
                   origin == Origin::kStart ? SEEK_SET : SEEK_END) >= 0;
  }

  bool Close() override {
    // The line must be on the medium before the next probe runs.
    bool ok = !written_ || ::fdatasync(fd_) == 0;
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
  bool written_ = false;
};

std::string ExecutablePath() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace

LinuxDevice::LinuxDevice() : LinuxDevice(Options{}) {}

LinuxDevice::LinuxDevice(Options options) : options_(std::move(options)) {
  if (options_.root.empty()) options_.root = "/";
  if (options_.executable.empty()) options_.executable = ExecutablePath();
}

LinuxDevice::~LinuxDevice() = default;

std::string LinuxDevice::HostPath(std::u16string_view devicePath) const {
  std::string path = Utf16ToUtf8(devicePath);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  std::string root = options_.root;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (root == "/") return path.empty() || path.front() != '/' ? "/" + path : path;
  return root + (path.empty() || path.front() != '/' ? "/" : "") + path;
}

std::string LinuxDevice::SystemPath(const std::string& absolute) const {
  return HostPath(Utf8ToUtf16(absolute));
}

SYSTEMTIME LinuxDevice::LocalTime() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(local.tm_year + 1900);
  time.wMonth = static_cast<WORD>(local.tm_mon + 1);
  time.wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time.wDay = static_cast<WORD>(local.tm_mday);
  time.wHour = static_cast<WORD>(local.tm_hour);
  time.wMinute = static_cast<WORD>(local.tm_min);
  time.wSecond = static_cast<WORD>(local.tm_sec);
  time.wMilliseconds = static_cast<WORD>(millis);
  return time;
}

std::u16string LinuxDevice::ModuleFileName() {
  // The executable as the device sees it: its path below the root, with backslashes.
  std::string path = options_.executable;
  std::string root = options_.root;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (root != "/" && path.starts_with(root + "/")) path.erase(0, root.size());
  std::u16string device = Utf8ToUtf16(path);
  for (WCHAR& c : device) {
    if (c == u'/') c = u'\\';
  }
  return device;
}

void LinuxDevice::Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void LinuxDevice::ShowMessageBox(std::u16string_view caption, std::u16string_view text) {
  // There is no display: the box is a line on standard output, "caption: text".
  const std::string line = Utf16ToUtf8(caption) + ": " + Utf16ToUtf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

std::unique_ptr<DeviceFile> LinuxDevice::OpenFile(std::u16string_view path, FileMode mode,
                                                  DWORD* error) {
  const std::string host = HostPath(path);
  // Never through a symbolic link, never anything but a regular file: the report holds identifiers
  // that are used for licensing, and only its owner may read it.
  const int flags = mode == FileMode::kRead ? O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK
                                            : O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY |
                                                  O_NOFOLLOW | O_NONBLOCK;
  const int fd = ::open(host.c_str(), flags, 0600);
  if (fd < 0) {
    if (error) *error = ErrorFromErrno(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (error) *error = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  // Reads and writes of regular files do not block; the flag only kept open() from hanging on a
  // FIFO planted in the file's place.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return std::make_unique<HostFile>(fd);
}

std::optional<std::vector<std::u16string>> LinuxDevice::ListFolder(std::u16string_view path) {
  DIR* dir = ::opendir(HostPath(path).c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<std::u16string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    names.push_back(Utf8ToUtf16(name));
  }
  ::closedir(dir);
  return names;
}
