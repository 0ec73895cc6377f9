#include "textfile.h"

#include <fstream>
#include <limits>

namespace orvexsim {

std::vector<std::string> splitLines(const std::string &text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

bool readWholeFile(const std::string &path, size_t maxBytes, std::string &text, std::string &error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > maxBytes) {
    error = path + " is larger than " + std::to_string(maxBytes) + " bytes";
    return false;
  }
  in.seekg(0, std::ios::beg);
  text.assign(static_cast<size_t>(size), '\0');
  if (size > 0 && !in.read(&text[0], size)) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

void LineCursor::skipBlanks() {
  while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t')) ++pos_;
}

bool LineCursor::atEnd() {
  skipBlanks();
  return pos_ >= line_.size();
}

std::string LineCursor::word(bool stopAtEquals) {
  skipBlanks();
  const size_t start = pos_;
  while (pos_ < line_.size() && line_[pos_] != ' ' && line_[pos_] != '\t' && !(stopAtEquals && line_[pos_] == '='))
    ++pos_;
  return line_.substr(start, pos_ - start);
}

bool LineCursor::take(char c) {
  if (pos_ < line_.size() && line_[pos_] == c) {
    ++pos_;
    return true;
  }
  return false;
}

std::optional<std::string> LineCursor::quoted() {
  if (!take('"')) return std::nullopt;
  std::string out;
  while (pos_ < line_.size()) {
    const char c = line_[pos_++];
    if (c == '"') return out;
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (pos_ >= line_.size()) return std::nullopt;
    const char e = line_[pos_++];
    if (e == '"' || e == '\\') {
      out.push_back(e);
    } else if (e == 'x' && pos_ + 2 <= line_.size() && isHexDigit(line_[pos_]) && isHexDigit(line_[pos_ + 1])) {
      out.push_back(static_cast<char>(hexValue(line_[pos_]) * 16 + hexValue(line_[pos_ + 1])));
      pos_ += 2;
    } else {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<std::string> LineCursor::value() {
  skipBlanks();
  if (pos_ < line_.size() && line_[pos_] == '"') return quoted();
  std::string w = word();
  if (w.empty()) return std::nullopt;
  return w;
}

std::optional<uint64_t> parseUnsigned(const std::string &word, uint64_t high) {
  if (word.empty() || word.size() > 20) return std::nullopt;
  uint64_t v = 0;
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    if (word.size() > 18) return std::nullopt;
    for (size_t i = 2; i < word.size(); ++i) {
      if (!isHexDigit(word[i])) return std::nullopt;
      v = v * 16 + static_cast<uint64_t>(hexValue(word[i]));
    }
  } else {
    for (char c : word) {
      if (c < '0' || c > '9') return std::nullopt;
      const uint64_t digit = static_cast<uint64_t>(c - '0');
      if (v > (std::numeric_limits<uint64_t>::max() - digit) / 10) return std::nullopt;
      v = v * 10 + digit;
    }
  }
  if (v > high) return std::nullopt;
  return v;
}

std::optional<int64_t> parseInt(const std::string &word, int64_t low, int64_t high) {
  const bool negative = !word.empty() && word[0] == '-';
  const auto magnitude = parseUnsigned(negative ? word.substr(1) : word, uint64_t(1) << 63);
  if (!magnitude) return std::nullopt;
  int64_t v;
  if (negative) {
    v = *magnitude == (uint64_t(1) << 63) ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(*magnitude);
  } else {
    if (*magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
    v = static_cast<int64_t>(*magnitude);
  }
  if (v < low || v > high) return std::nullopt;
  return v;
}

}  // namespace orvexsim
