#include "platform/linux/host_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace host {

std::optional<FileRead> ReadCapped(const std::string& path, std::size_t cap, ReadEnd end) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  const bool tail = end == ReadEnd::kTail;
  FileRead out;
  if (tail && st.st_size > 0 && static_cast<std::uint64_t>(st.st_size) > cap) {
    if (::lseek(fd, st.st_size - static_cast<off_t>(cap), SEEK_SET) < 0) {
      ::close(fd);
      return std::nullopt;
    }
    out.cut = true;
  }
  char chunk[16384];
  bool ok = true;
  for (;;) {
    const std::size_t want = std::min(sizeof chunk, cap - out.data.size());
    // At the cap, one more byte tells whether the file goes on.
    const ssize_t n = ::read(fd, chunk, want == 0 ? 1 : want);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    if (want == 0) {
      if (!tail) out.cut = true;
      break;
    }
    out.data.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return out;
}

std::string WholeLines(FileRead read, ReadEnd end) {
  std::string& text = read.data;
  if (read.cut) {
    if (end == ReadEnd::kTail) {
      const std::size_t newline = text.find('\n');
      text.erase(0, newline == std::string::npos ? text.size() : newline + 1);
    } else {
      const std::size_t newline = text.rfind('\n');
      text.resize(newline == std::string::npos ? 0 : newline + 1);
    }
  }
  return std::move(text);
}

std::optional<std::string> ReadWholeLines(const std::string& path, std::size_t cap, ReadEnd end) {
  auto read = ReadCapped(path, cap, end);
  if (!read) return std::nullopt;
  return WholeLines(std::move(*read), end);
}

std::string JoinRoot(std::string_view root, std::string_view path) {
  while (!root.empty() && root.back() == '/') root.remove_suffix(1);
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  std::string out(root);
  out += '/';
  out += path;
  return out;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace host
