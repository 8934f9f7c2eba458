// Where device makers' libraries are looked for on this machine: pure rules, tested on their own.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace host {

// A library is asked for by its bare name ("NAVIAPI"): no folder, no "..", nothing but letters,
// digits, '_', '-' and '.'.
bool IsBareLibraryName(std::string_view name);

// The absolute folders of a search path such as LD_LIBRARY_PATH. Empty and relative entries would
// name the current directory, so they are left out.
std::vector<std::string> SplitSearchPath(std::string_view path);

struct LdSoConf {
  std::vector<std::string> folders;
  std::vector<std::string> includes;  // glob patterns
};
// The dynamic linker's configuration file: absolute folders and "include" lines; comments dropped.
LdSoConf ParseLdSoConf(std::string_view text);

// The files tried, in order: "NAME.so" then "libNAME.so" in each folder.
std::vector<std::string> LibraryCandidates(const std::string& name,
                                           const std::vector<std::string>& folders);

// Whether a file or folder with this owner and mode may hold code for a process running as `me`:
// owned by root or by `me`, and writable by neither its group nor others.
bool OwnerAndModeTrusted(uid_t owner, mode_t mode, uid_t me);

}  // namespace host
