// The stand-in's trace, one JSON object per line, read field by field: enough
// JSON for the trace's own flat lines, no general parser.
#ifndef VANTILO_TESTS_SUPPORT_TRACE_LINES_H
#define VANTILO_TESTS_SUPPORT_TRACE_LINES_H

#include <functional>
#include <string>

namespace support {

// A top-level field of one line: a string without its quotes (escapes left
// as written), a number, true or false, an object or array as written;
// empty when the line has no such field.
std::string Field(const std::string& line, const std::string& name);

// Visits each whole line (not one still being written); false if unreadable.
bool ForEachLine(const std::string& path, const std::function<void(const std::string&)>& visit);

// Whole lines of the file that contain every one of the texts.
std::size_t CountLines(const std::string& path, const std::string& text,
                       const std::string& alsoText = "");

// Waits at most timeoutMs until the file has a line as CountLines counts them.
bool WaitForLine(const std::string& path, const std::string& text, int timeoutMs);

}  // namespace support

#endif
