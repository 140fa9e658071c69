// Tests decoding of single directory entries: both byte orders, inline and
// offset values, the bounds of entry and value, the NUL rule, formats.
#include "exif/directory_entry.h"

#include <gtest/gtest.h>

#include <tuple>

#include "support/jpeg_writer.h"

namespace {

using namespace testsupport;

std::string Text(uint32_t n) { return std::to_string(n); }
std::string Text(const Rational& r) { return Text(r.numerator) + "/" + Text(r.denominator); }

// The value as comparable text after its format code, e.g. "3: 42 7" for
// SHORTs or "2: AB\0" for ASCII.
struct ValueText {
  std::string operator()(std::monostate) const { return "none"; }
  std::string operator()(const std::string& t) const {
    std::string out = "2: ";
    for (char c : t) out += c == '\0' ? std::string("\\0") : std::string(1, c);
    return out;
  }
  template <typename T>
  std::string operator()(const std::vector<T>& v) const {
    std::string out = Text(sizeof(T) == 1 ? 1 : sizeof(T) == 2 ? 3 : sizeof(T) == 4 ? 4 : 5) + ":";
    for (const T& x : v) out += " " + Text(x);
    return out;
  }
};

std::string Describe(const DirectoryEntry& e) { return std::visit(ValueText{}, e.value); }

// The writer puts IFD0's one entry at payload position 16 and a long value
// last, at TIFF offset 26; `trim` cuts the payload (odd values are padded).
TEST(DirectoryEntry, DecodesWrittenEntriesInBothByteOrders) {
  const struct {
    const char* name;
    TiffEntry entry;
    uint32_t trim;
    uint16_t tag;  // 0x110 kept, or 0xFF not decoded
    const char* value;
  } cases[] = {
      {"ascii inline", Ascii(0x110, "ABC"), 0, 0x110, "2: ABC"},
      {"ascii drops one NUL", AsciiRaw(0x110, std::string("ABCDE\0\0\0", 8)), 0, 0x110,
       "2: ABCDE\\0\\0"},
      {"ascii count 0", AsciiRaw(0x110, ""), 0, 0x110, "2: "},
      {"ascii at end", Ascii(0x110, "ABCD"), 1, 0x110, "2: ABCD"},
      {"ascii one past", Ascii(0x110, "ABCD"), 2, 0xFF, "2: "},
      {"byte inline", Byte(0x110, {1, 2, 255}), 0, 0x110, "1: 1 2 255"},
      {"short 2 inline", Short(0x110, {42, 7}), 0, 0x110, "3: 42 7"},
      {"short 3 at end", Short(0x110, {1, 2, 65535}), 0, 0x110, "3: 1 2 65535"},
      {"short 3 one past", Short(0x110, {1, 2, 3}), 1, 0xFF, "3:"},
      {"long 1 inline", Long(0x110, {0xDEADBEEF}), 0, 0x110, "4: 3735928559"},
      {"long 2 at end", Long(0x110, {5, 6}), 0, 0x110, "4: 5 6"},
      {"long 2 one past", Long(0x110, {5, 6}), 1, 0xFF, "4:"},
      {"rational zero denominator", Rationals(0x110, {{1, 0}}), 0, 0x110, "5: 1/0"},
      {"rational one past", Rationals(0x110, {{1, 2}}), 1, 0xFF, "5:"},
      {"rational count 0", Rationals(0x110, {}), 0, 0x110, "5:"},
      {"undefined", Undefined(0x110, {1, 2, 3, 4}), 0, 0x110, "none"},
      {"slong", RawEntry(0x110, 9, 1, 5), 0, 0x110, "none"},
      {"srational", Rationals(0x110, {{1, 2}}, 10), 0, 0x110, "none"},
      {"huge long count", RawEntry(0x110, 4, 0xFFFFFFFF, 0), 0, 0xFF, "4:"},
      {"huge byte offset", RawEntry(0x110, 1, 5, 0xFFFFFFFF), 0, 0xFF, "1:"},
  };
  for (const auto& c : cases) {
    for (bool le : {true, false}) {
      TiffLayout layout;
      layout.little_endian = le;
      layout.ifd0 = {c.entry};
      const Bytes payload = ExifPayload(layout);
      const DirectoryEntry e =
          decode_entry(payload.data(), static_cast<uint32_t>(payload.size() - c.trim), 16, le);
      EXPECT_EQ(e.tag, c.tag) << c.name << le;
      EXPECT_EQ(e.format, c.entry.format) << c.name << le;
      EXPECT_EQ(Describe(e), c.value) << c.name << le;
    }
  }
}

// Exact stored bytes, independent of the writer.
TEST(DirectoryEntry, DecodesStoredBytes) {
  const struct {
    Bytes entry;
    uint32_t length;
    uint16_t tag;
    uint32_t value_or_offset;
    const char* value;
  } cases[] = {
      // One stored entry a row.
      // clang-format off
      {{0x0F, 0x01, 0x02, 0x00, 0x06, 0x00, 0x00, 0x00, 0x1A, 0x00, 0x00, 0x00}, 38, 0x10F, 26, "2: ABCDE"},
      {{0x01, 0x0F, 0x00, 0x02, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x1A}, 38, 0x10F, 26, "2: ABCDE"},
      {{0x0F, 0x01, 0x02, 0x00, 0x06, 0x00, 0x00, 0x00, 0x1A, 0x00, 0x00, 0x00}, 37, 0xFF, 26, "2: "},
      {{0x01, 0x00, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x2A, 0x00, 0x00, 0x00}, 12, 1, 42, "3: 42"},
      {{0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x2A, 0x00, 0x00}, 12, 1, 0x2A0000, "3: 42"},
      // clang-format on
  };

  for (const auto& c : cases) {
    Bytes payload(32, 0);
    std::copy(c.entry.begin(), c.entry.end(), payload.begin());
    payload.insert(payload.end(), {0x41, 0x42, 0x43, 0x44, 0x45, 0x00});
    const bool le = c.entry[2] != 0;
    const DirectoryEntry e = decode_entry(payload.data(), c.length, 0, le);
    EXPECT_EQ(e.tag, c.tag);
    EXPECT_EQ(e.value_or_offset, c.value_or_offset);
    EXPECT_EQ(Describe(e), c.value);
  }
}

TEST(DirectoryEntry, EntryBoundsAndUnsupportedFormats) {
  Bytes ii = {0, 0, 0, 0, 0x01, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00};
  EXPECT_EQ(Describe(decode_entry(ii.data(), 16, 4, true)), "4: 7");
  // Starting 11 bytes before the end, or at a position that would wrap.
  for (uint32_t position : {5u, 0xFFFFFFF8u}) {
    const DirectoryEntry e = decode_entry(ii.data(), 16, position, true);
    EXPECT_EQ(std::make_tuple(e.tag, e.format, e.count, e.value_or_offset),
              std::make_tuple(0xFF, 0xFF, 0u, 0u))
        << position;
  }
  for (uint16_t format : {0, 6, 8, 11, 12, 13, 0xFF, 0x104}) {
    ii[6] = static_cast<unsigned char>(format);
    ii[7] = static_cast<unsigned char>(format >> 8);
    const DirectoryEntry e = decode_entry(ii.data(), 16, 4, true);
    EXPECT_EQ(e.tag, 0xFF) << format;
    EXPECT_EQ(e.format, 0xFF) << format;
    EXPECT_EQ(std::make_tuple(e.count, e.value_or_offset), std::make_tuple(1u, 7u)) << format;
    EXPECT_EQ(Describe(e), "none") << format;
  }
}

}  // namespace
