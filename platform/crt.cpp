// The platform C runtime's streams, over the installed device's files.
#include "platform/crt.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/device.h"
#include "platform/kernel.h"

struct CE_FILE {
  std::unique_ptr<DeviceFile> file;
  bool writeFailed = false;
};

namespace {
constexpr int kEof = -1;

// The mode's letters without the translation flags; nullopt for a mode this runtime does not offer.
std::optional<FileMode> ParseMode(const WCHAR* mode) {
  if (mode == nullptr) return std::nullopt;
  std::u16string_view letters(mode);
  std::u16string base;
  for (const WCHAR c : letters) {
    if (c != u'b' && c != u't') base.push_back(c);
  }
  if (base == u"r") return FileMode::kRead;
  if (base == u"a") return FileMode::kAppend;
  return std::nullopt;
}
}  // namespace

CE_FILE* _wfopen(const WCHAR* fileName, const WCHAR* mode) {
  const auto fileMode = ParseMode(mode);
  if (fileName == nullptr || !fileMode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  auto file = CurrentDevice().OpenFile(fileName, *fileMode, &error);
  if (!file) {
    SetLastError(error);
    return nullptr;
  }
  return new CE_FILE{std::move(file)};
}

std::size_t fread(void* buffer, std::size_t size, std::size_t count, CE_FILE* stream) {
  if (stream == nullptr || buffer == nullptr || size == 0 || count == 0) return 0;
  if (count > SIZE_MAX / size) return 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  const std::size_t wanted = size * count;
  std::size_t got = 0;
  while (got < wanted) {
    const std::size_t n = stream->file->Read(bytes + got, wanted - got);
    if (n == 0) break;
    got += n;
  }
  return got / size;
}

std::size_t fwrite(const void* buffer, std::size_t size, std::size_t count, CE_FILE* stream) {
  if (stream == nullptr || buffer == nullptr || size == 0 || count == 0) return 0;
  if (count > SIZE_MAX / size) return 0;
  const std::size_t wanted = size * count;
  const std::size_t written = stream->file->Write(buffer, wanted);
  if (written != wanted) stream->writeFailed = true;
  return written / size;
}

int fseek(CE_FILE* stream, long offset, int origin) {
  if (stream == nullptr || (origin != SEEK_SET && origin != SEEK_END)) return -1;
  const auto where = origin == SEEK_SET ? DeviceFile::Origin::kStart : DeviceFile::Origin::kEnd;
  return stream->file->Seek(offset, where) ? 0 : -1;
}

int fclose(CE_FILE* stream) {
  if (stream == nullptr) return kEof;
  const bool closed = stream->file->Close();
  const bool failed = stream->writeFailed || !closed;
  delete stream;
  return failed ? kEof : 0;
}
