// Text for the report page's HTML and SVG, written in one place: bytes from
// files escaped, the page's own UTF-8 texts as character references, base64,
// and numbers as the page writes them.
#ifndef EXIFCHECK_REPORT_HTML_TEXT_H_
#define EXIFCHECK_REPORT_HTML_TEXT_H_

#include <cstddef>
#include <string>

/// Bytes from a file as HTML text, fit for element content and quoted
/// attributes: markup characters as entities, control bytes as U+FFFD,
/// every other byte as it is, to be read in the page's charset.
std::string EscapedBytes(const std::string& bytes);

/// How the page's charset makes characters of bytes, so that a text from a
/// file is cut between two of them.
enum class CharsetBytes {
  kSingle,  ///< one byte each (windows-1252, ISO 8859)
  kUtf8,
  kGb,      ///< gbk, gb18030: pairs led by 0x81-0xFE, or four bytes when a digit follows the lead
  kDouble,  ///< big5, shift_jis, euc-kr: pairs led by 0x81-0xFE
};
CharsetBytes CharsetBytesOf(const std::string& charset);

/// The most bytes of one text from a file that the page shows.
constexpr std::size_t kMostFileTextBytes = 300;

/// The longest prefix of `bytes`, at most `most` bytes, that ends between
/// two characters of `charset`. A character that would be split is left
/// out whole; bytes that form no character count one each.
std::size_t CutPoint(const std::string& bytes, std::size_t most, CharsetBytes charset);

/// A text from a file as HTML: at most kMostFileTextBytes of it, cut by
/// CutPoint and escaped after the cut, in a <bdi> so that its direction
/// stays inside, then "… (60,000 bytes)" when it was cut. Its last byte
/// is followed by '<' or '&', which no charset reads as part of a
/// character, so even a lone lead byte of the file's eats none of the page.
std::string FileText(const std::string& bytes, CharsetBytes charset);

/// The same where no element may stand (an SVG <title> or <text>):
/// isolated between U+2068 and U+2069 instead of a <bdi>. In a UTF-8 page
/// a U+2069 of the text's own shows as U+FFFD, so that it ends nothing.
std::string FileTextPlain(const std::string& bytes, CharsetBytes charset);

/// A count with its thousands set apart by commas: "60,000".
std::string Thousands(std::size_t count);

/// The page's own text, written in this source as UTF-8, as ASCII: every
/// other character as a numeric reference, which reads the same in any
/// charset the page declares.
std::string OwnText(const char* utf8);

/// `value` with `decimals` digits after the point, and a point whatever the
/// locale.
std::string Decimal(double value, int decimals);

/// A map coordinate to a tenth of a pixel, likewise.
std::string Tenths(double value);

std::string Base64(const std::string& bytes);

#endif  // EXIFCHECK_REPORT_HTML_TEXT_H_
