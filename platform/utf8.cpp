// UTF-8 decoding with the checks that keep malformed text out.
#include "platform/utf8.h"

bool NextUtf8Character(const char* text, size_t size, size_t* at, char32_t* out) {
  if (*at >= size) return false;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(*at);
  const int length = first < 0x80 ? 1 : (first >> 5) == 6 ? 2 : (first >> 4) == 14 ? 3 : (first >> 3) == 30 ? 4 : 0;
  if (length == 0 || *at + length > size) return false;
  char32_t c = length == 1 ? first : first & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    if ((byte(*at + k) & 0xC0) != 0x80) return false;
    c = (c << 6) | (byte(*at + k) & 0x3F);
  }
  static constexpr char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  *at += length;
  *out = c;
  return true;
}
