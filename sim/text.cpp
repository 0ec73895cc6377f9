#include "text.h"

#include <cstdint>

namespace orvexsim {

std::u32string decodeUtf8(const std::string &text) {
  std::u32string out;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const uint8_t lead = static_cast<uint8_t>(text[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      cp = lead & 0x1F;
      minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      cp = lead & 0x0F;
      minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      cp = lead & 0x07;
      minimum = 0x10000;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= n || (static_cast<uint8_t>(text[j]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (static_cast<uint8_t>(text[j]) & 0x3F);
    }
    if (!ok || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      i = ok ? j : i + 1;
      continue;
    }
    out.push_back(cp);
    i = j;
  }
  return out;
}

std::u16string toUtf16(const std::string &text) {
  std::u16string out;
  for (char32_t cp : decodeUtf8(text)) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string toSingleByte(const std::string &text, char32_t maxCodePoint) {
  std::string out;
  for (char32_t cp : decodeUtf8(text))
    out.push_back(cp <= maxCodePoint ? static_cast<char>(cp) : '?');
  return out;
}

namespace {
bool isContinuation(char c) { return (static_cast<uint8_t>(c) & 0xC0) == 0x80; }
}  // namespace

std::string cutUtf8Chars(const std::string &text, size_t maxChars) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (isContinuation(text[i])) continue;
    if (chars++ == maxChars) return text.substr(0, i);
  }
  return text;
}

std::string cutUtf8Bytes(const std::string &text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  while (end > 0 && isContinuation(text[end])) --end;
  return text.substr(0, end);
}

std::string latin1ToUtf8(const std::string &bytes) {
  std::string out;
  for (char c : bytes) {
    const uint8_t b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | b >> 6));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

}  // namespace orvexsim
