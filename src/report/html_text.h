// Text for the report page's HTML and SVG, written in one place: bytes from
// files escaped, the page's own UTF-8 texts as character references, base64,
// and numbers as the page writes them.
#ifndef EXIFCHECK_REPORT_HTML_TEXT_H_
#define EXIFCHECK_REPORT_HTML_TEXT_H_

#include <string>

/// Bytes from a file as HTML text, fit for element content and quoted
/// attributes: markup characters as entities, control bytes as U+FFFD,
/// every other byte as it is, to be read in the page's charset.
std::string EscapedBytes(const std::string& bytes);

/// The page's own text, written in this source as UTF-8, as ASCII: every
/// other character as a numeric reference, which reads the same in any
/// charset the page declares.
std::string OwnText(const char* utf8);

/// `value` with `decimals` digits after the point.
std::string Decimal(double value, int decimals);

/// A map coordinate to a tenth of a pixel.
std::string Tenths(double value);

std::string Base64(const std::string& bytes);

#endif  // EXIFCHECK_REPORT_HTML_TEXT_H_
