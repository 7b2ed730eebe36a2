// JSON text for trace lines. Numbers that are not finite cannot be JSON
// numbers, so they are written as strings ("nan", "inf", "-inf").
#include "standin/log/trace.h"

#include <cmath>
#include <cstdio>

namespace standin {

namespace {

std::string NumberText(double value, int digits) {
  if (!std::isfinite(value)) {
    return JsonString(std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf"));
  }
  char text[40];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

}  // namespace

std::string JsonString(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      const char escaped[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
      out.append(escaped, sizeof escaped);
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

std::string JsonNumber(double value) { return NumberText(value, 17); }

void JsonLine::Key(const char* key) {
  if (!body_.empty()) {
    body_ += ',';
  }
  // Keys are the stand-in's own names, never client text: nothing to escape.
  body_ += '"';
  body_ += key;
  body_ += "\":";
}

JsonLine& JsonLine::Str(const char* key, const std::string& value) {
  return Raw(key, JsonString(value));
}

JsonLine& JsonLine::Int(const char* key, std::int64_t value) {
  return Raw(key, std::to_string(value));
}

JsonLine& JsonLine::Num(const char* key, double value) { return Raw(key, NumberText(value, 17)); }

JsonLine& JsonLine::Float(const char* key, float value) { return Raw(key, NumberText(value, 9)); }

JsonLine& JsonLine::Bool(const char* key, bool value) { return Raw(key, value ? "true" : "false"); }

JsonLine& JsonLine::Raw(const char* key, const std::string& json) {
  Key(key);
  body_ += json;
  return *this;
}

void TraceFile::Write(const JsonLine& line) {
  if (!file_.open()) {
    return;
  }
  std::string text = line.Text() + "\n";
  // Flushed line by line: tests read the trace while the stand-in runs.
  file_.Wrote(std::fwrite(text.data(), 1, text.size(), file_.get()) == text.size() &&
              std::fflush(file_.get()) == 0);
}

}  // namespace standin
