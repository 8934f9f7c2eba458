// The report log: every report line is formatted by LogMessage and appended, time-stamped, to
// log_guids.txt beside the executable by WriteLogLine.
#pragma once

#include <string>

#include "platform/types.h"

// Formats a wide printf-style message (at most 2047 characters; a longer one is cut) and writes it
// as one report line.
void LogMessage(LPCWSTR format, ...);

// Appends `text`, up to its first NUL, as one time-stamped line to the report. The first line of a
// process is preceded by the marker line "LOG START". A line that does not fit the 1023-character
// line is cut; its line feed is always kept.
void WriteLogLine(LPCWSTR text);

// How many lines of this process did not reach the report whole (not opened, short write, or not
// closed cleanly).
DWORD ReportLinesLost();

// The report path as the last line was written to it (device form); empty before the first line.
std::u16string LastReportPath();

// Starts the log afresh, as a new process would: the next line carries the marker again and the
// lost-line count is zero. For the simulator and tests, which run several reports in one process.
void ResetReportLog();
