// The report log.
#include "log/report_log.h"

#include <cstdarg>
#include <cstring>

#include "platform/codepage.h"
#include "platform/crt.h"
#include "platform/kernel.h"
#include "platform/wformat.h"
#include "platform/wstring.h"

namespace {
constexpr std::size_t kFormatChars = 2048;      // formatting buffer, terminator included
constexpr std::size_t kLineChars = 1024;        // line buffer, terminator included
constexpr std::size_t kStampChars = 64;         // time-stamp buffer
constexpr std::size_t kConversionBytes = 1024;  // the line in the ANSI code page

bool firstLine = true;
DWORD linesLost = 0;
std::u16string lastPath;

// The report path: the executable's folder, its backslash kept, then "log_guids.txt".
std::u16string ReportPath() {
  WCHAR module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::u16string path(module);
  const std::size_t slash = path.find_last_of(u'\\');
  path.resize(slash == std::u16string::npos ? 0 : slash + 1);
  path += u"log_guids";
  path += u".txt";
  return path;
}
// Whether the report ends inside a line, as a run that was killed while writing leaves it: the next
// run then starts on a line of its own.
bool EndsInsideALine(const std::u16string& path) {
  CE_FILE* file = _wfopen(path.c_str(), u"r");
  if (file == nullptr) return false;
  char last = '\n';
  const bool inside =
      fseek(file, -1, SEEK_END) == 0 && fread(&last, 1, 1, file) == 1 && last != '\n';
  fclose(file);
  return inside;
}
}  // namespace

void LogMessage(LPCWSTR format, ...) {
  WCHAR message[kFormatChars];
  va_list args;
  va_start(args, format);
  _vsnwprintf(message, kFormatChars, format, args);
  va_end(args);
  // The formatter leaves a message that fills the buffer unterminated; cut it at the last
  // character.
  message[kFormatChars - 1] = u'\0';
  WriteLogLine(message);
}

void WriteLogLine(LPCWSTR text) {
  const std::u16string path = ReportPath();
  lastPath = path;

  WCHAR line[kLineChars] = {};
  if (firstLine) {
    if (EndsInsideALine(path)) WideAppendBounded(line, kLineChars, u"\n");
    WideAppendBounded(line, kLineChars, u"LOG START\n");
  }
  firstLine = false;

  WCHAR stamp[kStampChars] = {};
  SYSTEMTIME now{};
  GetLocalTime(&now);
  wsprintfW(stamp, u"%d:%d:%d %d:%d:%d: ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
            now.wSecond);
  WideAppendBounded(line, kLineChars, stamp);

  // The message is cut where needed so that its line feed still fits the line buffer.
  const std::size_t used = wcslen(line);
  const std::size_t room = kLineChars - 1 - used - 1;
  // A line end inside a message (a device text that holds one) would start a line without a time
  // stamp; it shows as "?", so every message stays one report line.
  std::u16string message(std::u16string_view(text != nullptr ? text : u"").substr(0, room));
  for (WCHAR& c : message) {
    if (c == u'\n' || c == u'\r') c = u'?';
  }
  WideAppendBounded(line, kLineChars - 1, message);
  WideAppendBounded(line, kLineChars, u"\n");

  CE_FILE* file = _wfopen(path.c_str(), u"a");
  if (file == nullptr) {
    ++linesLost;
    return;
  }
  char converted[kConversionBytes] = {};
  // Room for the line's characters, its terminator not counted: the conversion fills the buffer and
  // reports that the terminator did not fit, which leaves the converted line in the zeroed buffer.
  WideCharToMultiByte(CP_ACP, 0, line, -1, converted, static_cast<int>(wcslen(line)), nullptr,
                      nullptr);
  const void* end = std::memchr(converted, 0, kConversionBytes);
  const std::size_t length =
      end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - converted)
                     : kConversionBytes;
  const std::size_t written = fwrite(converted, 1, length, file);
  const int closed = fclose(file);
  if (written != length || closed != 0) ++linesLost;
}

DWORD ReportLinesLost() {
  return linesLost;
}

std::u16string LastReportPath() {
  return lastPath;
}

void ResetReportLog() {
  firstLine = true;
  linesLost = 0;
  lastPath.clear();
}
