// Reading the simulator's text files (traces and scenarios): lines of
// blank-separated words, key=value pairs, double-quoted texts with \\, \"
// and \xHH escapes, numbers in decimal or 0x hexadecimal.
#ifndef ORVEXSIM_TEXTFILE_H
#define ORVEXSIM_TEXTFILE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvexsim {

// The lines of a text, without their line ends ("\n" or "\r\n").
std::vector<std::string> splitLines(const std::string &text);

// Reads a file whole; false when it cannot be read or is larger than
// maxBytes.
bool readWholeFile(const std::string &path, size_t maxBytes, std::string &text, std::string &error);

// A cursor over one line.
class LineCursor {
public:
  explicit LineCursor(const std::string &line) : line_(line) {}

  bool atEnd();
  // The next blank-separated word; with stopAtEquals, a word also ends
  // before '='.
  std::string word(bool stopAtEquals = false);
  // Consumes c when it comes next.
  bool take(char c);
  // A double-quoted text; nullopt when malformed.
  std::optional<std::string> quoted();
  // A value: a quoted text or a word.
  std::optional<std::string> value();

private:
  void skipBlanks();
  const std::string &line_;
  size_t pos_ = 0;
};

bool isHexDigit(char c);
int hexValue(char c);

// A number in decimal (optionally negative) or 0x hexadecimal, within
// [low, high].
std::optional<int64_t> parseInt(const std::string &word, int64_t low, int64_t high);
std::optional<uint64_t> parseUnsigned(const std::string &word, uint64_t high);

}  // namespace orvexsim

#endif
