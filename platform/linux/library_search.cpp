// Where device makers' libraries are looked for on this machine.
#include "platform/linux/library_search.h"

#include <sys/stat.h>

namespace host {

bool IsBareLibraryName(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || name.size() > 200) return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '.';
    if (!ok) return false;
  }
  return name.find("..") == std::string_view::npos;
}

std::vector<std::string> SplitSearchPath(std::string_view path) {
  std::vector<std::string> folders;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of(":;", start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view entry = path.substr(start, end - start);
    if (!entry.empty() && entry.front() == '/') folders.emplace_back(entry);
    start = end + 1;
  }
  return folders;
}

LdSoConf ParseLdSoConf(std::string_view text) {
  LdSoConf conf;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (const auto hash = line.find('#'); hash != std::string_view::npos)
      line = line.substr(0, hash);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
      line.remove_suffix(1);
    }
    if (line.empty()) continue;
    if (line.starts_with("include") && line.size() > 7 && (line[7] == ' ' || line[7] == '\t')) {
      line.remove_prefix(8);
      while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
      if (!line.empty()) conf.includes.emplace_back(line);
    } else if (line.front() == '/') {
      conf.folders.emplace_back(line);
    }
  }
  return conf;
}

std::vector<std::string> LibraryCandidates(const std::string& name,
                                           const std::vector<std::string>& folders) {
  std::vector<std::string> files;
  for (const auto& folder : folders) {
    const std::string base = folder.ends_with('/') ? folder : folder + "/";
    files.push_back(base + name + ".so");
    files.push_back(base + "lib" + name + ".so");
  }
  return files;
}

bool OwnerAndModeTrusted(uid_t owner, mode_t mode, uid_t me) {
  if (owner != 0 && owner != me) return false;
  return (mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace host
