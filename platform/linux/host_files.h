// Bounded reads of this machine's files, below a root folder that is "/" on the real machine and a
// recorded tree in tests.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace host {

// What a capped read of one file gave.
struct FileRead {
  std::string data;
  bool cut = false;  // the file went on past the cap
};

// Which end of a file longer than the cap is read.
enum class ReadEnd { kHead, kTail };

// At most `cap` bytes of a regular file: its first bytes, or with ReadEnd::kTail its last ones.
// The file is opened non-blocking and anything but a regular file is refused, so a FIFO or device
// node in a recorded tree cannot stall the reader. nullopt when the file is missing, unreadable or
// a read fails.
std::optional<FileRead> ReadCapped(const std::string& path, std::size_t cap,
                                   ReadEnd end = ReadEnd::kHead);

// The whole lines of a read: a text cut by the cap loses its partial line (the last one for a head,
// the first one for a tail), which could hold a cut value.
std::string WholeLines(FileRead read, ReadEnd end = ReadEnd::kHead);

// A line-oriented file read as ReadCapped does, cut to WholeLines.
std::optional<std::string> ReadWholeLines(const std::string& path, std::size_t cap,
                                          ReadEnd end = ReadEnd::kHead);

// `<root>` + a path from the root, with exactly one slash between them; a root of "/" or "" means
// the real "/".
std::string JoinRoot(std::string_view root, std::string_view path);

bool IsDirectory(const std::string& path);

}  // namespace host
