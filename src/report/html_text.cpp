// The report page's text: escaping, character references, base64, numbers.
#include "report/html_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace {

std::string Whole(unsigned long long value) {
  char text[24];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Upper-case hex digits, as the page has always written its references.
std::string Hex(std::uint32_t value) {
  char text[8];
  char* end = std::to_chars(text, text + sizeof text, value, 16).ptr;
  std::string out(text, end);
  for (char& c : out) {
    if (c >= 'a') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace

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

CharsetBytes CharsetBytesOf(const std::string& charset) {
  std::string name;
  for (const char c : charset) name += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  if (name == "utf-8" || name == "utf8") return CharsetBytes::kUtf8;
  for (const char* gb : {"gbk", "gb18030", "gb2312", "windows-936", "cp936"}) {
    if (name == gb) return CharsetBytes::kGb;
  }
  for (const char* pairs : {"big5", "big5-hkscs", "shift_jis", "sjis", "euc-kr", "euc-jp",
                            "windows-932", "windows-949", "windows-950", "cp949"}) {
    if (name == pairs) return CharsetBytes::kDouble;
  }
  return CharsetBytes::kSingle;
}

std::size_t CutPoint(const std::string& bytes, std::size_t most, CharsetBytes charset) {
  if (bytes.size() <= most) return bytes.size();
  const auto at = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  switch (charset) {
    case CharsetBytes::kSingle: return most;
    case CharsetBytes::kUtf8: {
      // Back to the lead byte of the character the cut falls in; a run of
      // more than three continuation bytes is no character.
      std::size_t cut = most;
      while (cut > 0 && most - cut < 3 && (at(cut) & 0xC0) == 0x80) --cut;
      return (at(cut) & 0xC0) == 0x80 ? most : cut;
    }
    case CharsetBytes::kGb:
    case CharsetBytes::kDouble: {
      // Pairs only show from the start of the text.
      std::size_t cut = 0;
      while (cut < most) {
        std::size_t length = 1;
        if (at(cut) >= 0x81 && at(cut) <= 0xFE) {
          const bool four = charset == CharsetBytes::kGb && cut + 1 < bytes.size() &&
                            at(cut + 1) >= '0' && at(cut + 1) <= '9';
          length = four ? 4 : 2;
        }
        if (most - cut < length) break;
        cut += length;
      }
      return cut;
    }
  }
  return most;
}

namespace {

// "… (60,000 bytes)" after a text cut from that many.
std::string CutNote(std::size_t cut, std::size_t whole) {
  return cut < whole ? "&#x2026; (" + Thousands(whole) + " bytes)" : std::string();
}

}  // namespace

std::string FileText(const std::string& bytes, CharsetBytes charset) {
  const std::size_t cut = CutPoint(bytes, kMostFileTextBytes, charset);
  return "<bdi>" + EscapedBytes(bytes.substr(0, cut)) + "</bdi>" + CutNote(cut, bytes.size());
}

std::string FileTextPlain(const std::string& bytes, CharsetBytes charset) {
  const std::size_t cut = CutPoint(bytes, kMostFileTextBytes, charset);
  std::string text = EscapedBytes(bytes.substr(0, cut));
  if (charset == CharsetBytes::kUtf8) {
    const std::string kPdi = "\xE2\x81\xA9";
    for (std::size_t at = text.find(kPdi); at != std::string::npos; at = text.find(kPdi, at)) {
      text.replace(at, kPdi.size(), "&#xFFFD;");
    }
  }
  return "&#x2068;" + text + "&#x2069;" + CutNote(cut, bytes.size());
}

std::string Thousands(std::size_t count) {
  const std::string digits = Whole(count);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
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
    out += "&#x" + Hex(code) + ";";
  }
  return out;
}

// printf follows the C locale, which the tool sets to the user's: a
// decimal comma there would end an SVG number early.
std::string Decimal(double value, int decimals) {
  char text[64];
  const std::to_chars_result written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  if (written.ec == std::errc()) return std::string(text, written.ptr);
  // Too long in full (1e300, say): the shortest form that reads back.
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Written twice for every frame, so by integers: snprintf alone took a
// tenth of a warm run's time.
std::string Tenths(double value) {
  const long long tenths = std::llround(value * 10);
  const long long whole = (tenths < 0 ? -tenths : tenths) / 10;
  std::string text = tenths < 0 ? "-" : "";
  text += Whole(static_cast<unsigned long long>(whole));
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
