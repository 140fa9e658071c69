// The report page's text: escaping, character references, base64, numbers.
#include "report/html_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

std::string EscapedBytes(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          out += "&#xFFFD;";
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string OwnText(const char* utf8) {
  std::string out;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8);
  while (*p != 0) {
    if (*p < 0x80) {
      out += static_cast<char>(*p++);
      continue;
    }
    const int extra = *p >= 0xF0 ? 3 : *p >= 0xE0 ? 2 : 1;
    std::uint32_t code = *p++ & (0x3Fu >> extra);
    for (int k = 0; k < extra && (*p & 0xC0) == 0x80; ++k) code = (code << 6) | (*p++ & 0x3Fu);
    char ref[16];
    std::snprintf(ref, sizeof ref, "&#x%X;", static_cast<unsigned>(code));
    out += ref;
  }
  return out;
}

std::string Decimal(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// Written twice for every frame, so by integers: snprintf alone took a
// tenth of a warm run's time.
std::string Tenths(double value) {
  const long long tenths = std::llround(value * 10);
  const long long whole = (tenths < 0 ? -tenths : tenths) / 10;
  std::string text = tenths < 0 ? "-" : "";
  text += std::to_string(whole);
  text += '.';
  text += static_cast<char>('0' + (tenths < 0 ? -tenths : tenths) % 10);
  return text;
}

std::string Base64(const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
  }
  return out;
}
