// Tests decoding of single directory entries: both byte orders, inline and
// offset values, the bounds of entry and value, the NUL rule, formats.
#include "exif/directory_entry.h"

#include <gtest/gtest.h>

#include <string>

#include "support/jpeg_writer.h"

namespace {

using testsupport::Bytes;

// The value as comparable text, e.g. "shorts 42 7" or "text AB\0".
struct ValueText {
  std::string operator()(std::monostate) const { return "none"; }
  std::string operator()(const std::string& t) const {
    std::string out = "text ";
    for (char c : t) out += c == '\0' ? std::string("\\0") : std::string(1, c);
    return out;
  }
  std::string operator()(const std::vector<uint8_t>& v) const { return List("bytes", v); }
  std::string operator()(const std::vector<uint16_t>& v) const { return List("shorts", v); }
  std::string operator()(const std::vector<uint32_t>& v) const { return List("longs", v); }
  std::string operator()(const std::vector<Rational>& v) const {
    std::string out = "rationals";
    for (const Rational& r : v) out += " " + std::to_string(r.numerator) + "/" + std::to_string(r.denominator);
    return out;
  }
  template <typename T>
  static std::string List(std::string out, const std::vector<T>& v) {
    for (T x : v) out += " " + std::to_string(x);
    return out;
  }
};

std::string Describe(const DirectoryEntry& e) { return std::visit(ValueText{}, e.value); }

struct EntryCase {
  const char* name;
  testsupport::TiffEntry entry;
  uint32_t trim;  // bytes cut from the payload end (the writer pads odd values)
  uint16_t tag;   // expected: 0x0110 kept, or 0xFF
  const char* value;
};

// The writer puts IFD0's one entry at payload position 16 and a long value
// last, at TIFF offset 26.
TEST(DirectoryEntry, DecodesWrittenEntriesInBothByteOrders) {
  using namespace testsupport;
  const EntryCase cases[] = {
      {"ascii inline", Ascii(0x110, "ABC"), 0, 0x110, "text ABC"},
      {"ascii drops one NUL", AsciiRaw(0x110, std::string("ABCDE\0\0\0", 8)), 0, 0x110, "text ABCDE\\0\\0"},
      {"ascii count 0", AsciiRaw(0x110, ""), 0, 0x110, "text "},
      {"ascii at end", Ascii(0x110, "ABCD"), 1, 0x110, "text ABCD"},
      {"ascii one past", Ascii(0x110, "ABCD"), 2, 0xFF, "text "},
      {"byte inline", Byte(0x110, {1, 2, 3}), 0, 0x110, "bytes 1 2 3"},
      {"short 2 inline", Short(0x110, {42, 7}), 0, 0x110, "shorts 42 7"},
      {"short 3 at end", Short(0x110, {1, 2, 65535}), 0, 0x110, "shorts 1 2 65535"},
      {"short 3 one past", Short(0x110, {1, 2, 3}), 1, 0xFF, "shorts"},
      {"long 1 inline", Long(0x110, {0xDEADBEEF}), 0, 0x110, "longs 3735928559"},
      {"long 2 at end", Long(0x110, {5, 6}), 0, 0x110, "longs 5 6"},
      {"long 2 one past", Long(0x110, {5, 6}), 1, 0xFF, "longs"},
      {"rational zero denominator", Rationals(0x110, {{1, 0}}), 0, 0x110, "rationals 1/0"},
      {"rational one past", Rationals(0x110, {{1, 2}}), 1, 0xFF, "rationals"},
      {"rational count 0", Rationals(0x110, {}), 0, 0x110, "rationals"},
      {"srational no value", Rationals(0x110, {{1, 2}}, 10), 0, 0x110, "none"},
      {"undefined", Undefined(0x110, {1, 2, 3, 4}), 0, 0x110, "none"},
      {"slong", RawEntry(0x110, 9, 1, 5), 0, 0x110, "none"},
      {"huge long count", RawEntry(0x110, 4, 0xFFFFFFFF, 0), 0, 0xFF, "longs"},
      {"huge byte offset", RawEntry(0x110, 1, 5, 0xFFFFFFFF), 0, 0xFF, "bytes"},
  };
  for (const EntryCase& c : cases) {
    for (bool le : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (le ? " II" : " MM"));
      TiffLayout layout;
      layout.little_endian = le;
      layout.ifd0 = {c.entry};
      const Bytes payload = ExifPayload(layout);
      const DirectoryEntry e = decode_entry(payload.data(), static_cast<uint32_t>(payload.size() - c.trim), 16, le);
      EXPECT_EQ(e.tag, c.tag);
      EXPECT_EQ(e.format, c.entry.format);
      EXPECT_EQ(Describe(e), c.value);
    }
  }
}

TEST(DirectoryEntry, AsciiThroughOffsetEndsAtPayloadEnd) {
  const Bytes entries[] = {{0x0F, 0x01, 0x02, 0x00, 0x06, 0x00, 0x00, 0x00, 0x1A, 0x00, 0x00, 0x00},
                           {0x01, 0x0F, 0x00, 0x02, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x1A}};
  for (const Bytes& entry : entries) {
    const bool le = entry[0] == 0x0F;
    Bytes payload(32, 0);
    std::copy(entry.begin(), entry.end(), payload.begin());
    payload.insert(payload.end(), {0x41, 0x42, 0x43, 0x44, 0x45, 0x00});
    const DirectoryEntry whole = decode_entry(payload.data(), 38, 0, le);
    EXPECT_EQ(whole.tag, 0x010F);
    EXPECT_EQ(Describe(whole), "text ABCDE");
    const DirectoryEntry cut = decode_entry(payload.data(), 37, 0, le);
    EXPECT_EQ(cut.tag, 0xFF);
    EXPECT_EQ(cut.format, 2);
    EXPECT_EQ(cut.count, 6u);
    EXPECT_EQ(cut.value_or_offset, 26u);
    EXPECT_EQ(Describe(cut), "text ");
  }
}

TEST(DirectoryEntry, ValueFieldIsOneNumberWhateverTheFormat) {
  const Bytes mm = {0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x2A, 0x00, 0x00};
  const Bytes ii = {0x01, 0x00, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x2A, 0x00, 0x00, 0x00};
  const DirectoryEntry big = decode_entry(mm.data(), 12, 0, false);
  EXPECT_EQ(Describe(big), "shorts 42");
  EXPECT_EQ(big.value_or_offset, 0x002A0000u);
  const DirectoryEntry little = decode_entry(ii.data(), 12, 0, true);
  EXPECT_EQ(Describe(little), "shorts 42");
  EXPECT_EQ(little.value_or_offset, 42u);
}

TEST(DirectoryEntry, EntryBoundsAndUnsupportedFormats) {
  Bytes ii = {0x01, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00};
  ii.insert(ii.begin(), 4, 0);
  EXPECT_EQ(Describe(decode_entry(ii.data(), 16, 4, true)), "longs 7");
  // Starting 11 bytes before the end, or at a position that would wrap.
  for (uint32_t position : {5u, 0xFFFFFFF8u}) {
    const DirectoryEntry e = decode_entry(ii.data(), 16, position, true);
    EXPECT_EQ(e.tag, 0xFF);
    EXPECT_EQ(e.format, 0xFF);
    EXPECT_EQ(e.count, 0u);
    EXPECT_EQ(e.value_or_offset, 0u);
  }
  for (uint16_t format : {0, 6, 8, 11, 12, 13, 0xFF, 0x104}) {
    ii[6] = static_cast<unsigned char>(format);
    ii[7] = static_cast<unsigned char>(format >> 8);
    const DirectoryEntry e = decode_entry(ii.data(), 16, 4, true);
    EXPECT_EQ(e.tag, 0xFF) << format;
    EXPECT_EQ(e.format, 0xFF) << format;
    EXPECT_EQ(e.count, 1u) << format;
    EXPECT_EQ(e.value_or_offset, 7u) << format;
    EXPECT_EQ(Describe(e), "none") << format;
  }
}

TEST(DirectoryEntry, SetFormatAcceptsOnlyKnownCodes) {
  DirectoryEntry e;
  ASSERT_TRUE(e.set_format(2));
  std::get<std::string>(e.value) = "x";
  EXPECT_FALSE(e.set_format(6));
  EXPECT_EQ(e.format, 2);
  EXPECT_EQ(Describe(e), "text x");
  EXPECT_TRUE(e.set_format(5));
  EXPECT_EQ(Describe(e), "rationals");
  e.clear_value();
  EXPECT_EQ(e.format, 5);
  EXPECT_EQ(Describe(e), "none");
}

}  // namespace
