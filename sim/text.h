// Conversions from the UTF-8 of the control interface to the encodings of
// the wire and of the device record.
#ifndef ORVEXSIM_TEXT_H
#define ORVEXSIM_TEXT_H

#include <string>

namespace orvexsim {

// Code points of UTF-8 text; malformed sequences become U+FFFD.
std::u32string decodeUtf8(const std::string &text);

// UTF-16 code units, surrogate pairs for code points above U+FFFF.
std::u16string toUtf16(const std::string &text);

// One byte per character: code points up to maxCodePoint as they are,
// others '?'. maxCodePoint 0x7F gives ASCII, 0xFF ISO 8859-1.
std::string toSingleByte(const std::string &text, char32_t maxCodePoint);

// The first maxChars characters, or the longest prefix of at most maxBytes
// bytes, of UTF-8 text; a character is never split.
std::string cutUtf8Chars(const std::string &text, size_t maxChars);
std::string cutUtf8Bytes(const std::string &text, size_t maxBytes);

// ISO 8859-1 bytes as UTF-8.
std::string latin1ToUtf8(const std::string &bytes);

inline std::string safeText(const char *text) { return text ? std::string(text) : std::string(); }

}  // namespace orvexsim

#endif
