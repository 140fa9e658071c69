// Writes the seed corpus of the fuzz targets: write_seeds <corpus folder>.
// The files are committed; run this again only when the writer changes.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/jpeg_writer.h"

namespace {
using testsupport::Bytes;

// A drone's packet: its values as attributes of one rdf:Description.
const char kDronePacket[] =
    "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
    "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
    " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
    "  <rdf:Description rdf:about=\"\" xmlns:tiff=\"http://ns.adobe.com/tiff/1.0/\"\n"
    "    xmlns:drone-dji=\"http://www.dji.com/drone-dji/1.0/\"\n"
    "    xmlns:aux=\"http://ns.adobe.com/exif/1.0/aux/\"\n"
    "   tiff:Make=\"SurveyCopter\" drone-dji:AbsoluteAltitude=\"+135.37\"\n"
    "   drone-dji:RelativeAltitude=\"+100.20\" drone-dji:GimbalRollDegree=\"+0.00\"\n"
    "   drone-dji:GimbalYawDegree=\"-90.10\" drone-dji:GimbalPitchDegree=\"-89.90\"\n"
    "   drone-dji:FlightRollDegree=\"+1.20\" drone-dji:FlightYawDegree=\"-88.70\"\n"
    "   drone-dji:FlightPitchDegree=\"+3.40\" drone-dji:RtkFlag=\"50\"\n"
    "   drone-dji:RtkStdLon=\"0.01012\" drone-dji:RtkStdLat=\"0.01087\"\n"
    "   drone-dji:RtkStdHgt=\"0.02011\" aux:SerialNumber=\"5YSZK1A0020B\"/>\n"
    " </rdf:RDF>\n"
    "</x:xmpmeta>\n"
    "                                                                \n"
    "<?xpacket end=\"w\"?>";

const std::pair<const char*, const char*> kPackets[] = {
    {"drone_attributes.xml", kDronePacket},
    // As editing tools write it: a child element per value, a default
    // namespace, a prefix bound to another namespace inside, references.
    {"element_form.xml",
     "<?xpacket begin=\"\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
     "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
     "xmlns:d=\"http://www.dji.com/drone-dji/1.0/\" xmlns:exifEX=\"http://cipa.jp/exif/1.0/\">"
     "<d:RelativeAltitude>&#43;100.20</d:RelativeAltitude><!-- c --><d:RtkFlag><![CDATA[16]]>"
     "</d:RtkFlag><d:GimbalYawDegree xmlns:d=\"http://example.com/\">1</d:GimbalYawDegree>"
     "<FlightYawDegree xmlns=\"http://www.dji.com/drone-dji/1.0/\">-3.5e1</FlightYawDegree>"
     "<exifEX:BodySerialNumber>A&amp;B</exifEX:BodySerialNumber><d:RtkStdHgt><rdf:Seq><rdf:li>"
     "1</rdf:li></rdf:Seq></d:RtkStdHgt></rdf:Description></rdf:RDF></x:xmpmeta>"
     "<?xpacket end=\"w\"?>"},
};

bool Write(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return static_cast<bool>(file);
}

testsupport::SurveyFrame Frame(bool little_endian, bool gps, bool jfif) {
  testsupport::SurveyFrame frame;
  frame.little_endian = little_endian;
  if (!gps) frame.gps.reset();
  frame.jfif = jfif;
  return frame;
}

// The decode_entry input: flag byte (bit 0 little-endian), position, payload.
Bytes EntryInput(bool little_endian, uint32_t position, const Bytes& payload) {
  Bytes input{static_cast<unsigned char>(little_endian ? 1 : 0)};
  for (int shift = 0; shift < 32; shift += 8) {
    input.push_back(static_cast<unsigned char>(position >> shift));
  }
  input.insert(input.end(), payload.begin(), payload.end());
  return input;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_seeds <corpus folder>\n");
    return 2;
  }
  const std::string root = argv[1];
  bool ok = true;

  const std::string jpeg = root + "/read_jpeg/";
  testsupport::TiffLayout thumbnail = testsupport::SurveyLayout(Frame(true, true, false));
  thumbnail.ifd1 = std::vector<testsupport::TiffEntry>{testsupport::Short(0x0103, {6})};
  thumbnail.thumbnail = Bytes{0xFF, 0xD8, 0xFF, 0xD9};
  testsupport::TiffLayout drone = testsupport::SurveyLayout(Frame(true, true, false));
  drone.exif->push_back(testsupport::Undefined(0x927C, Bytes(2000, 0x5A)));
  const std::pair<const char*, Bytes> jpegs[] = {
      {"survey_ii.jpg", testsupport::MakeSurveyJpeg(Frame(true, true, false))},
      {"survey_mm.jpg", testsupport::MakeSurveyJpeg(Frame(false, true, false))},
      {"no_gps_mm.jpg", testsupport::MakeSurveyJpeg(Frame(false, false, false))},
      {"jfif_ii.jpg", testsupport::MakeSurveyJpeg(Frame(true, true, true))},
      {"xmp_first_mm.jpg",
       testsupport::JpegFile({testsupport::Soi(),
                              testsupport::App1Xmp("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>"),
                              testsupport::App1Exif(testsupport::SurveyLayout(Frame(false, true, false))),
                              testsupport::StartOfFrame(64, 48), testsupport::ScanData(),
                              testsupport::Eoi()})},
      {"thumbnail_ii.jpg", testsupport::JpegWithExif(thumbnail)},
      // A preview's end marker after the EXIF block: a head without the
      // file's own end marker is answered against that lower bound.
      // A drone frame: EXIF with a long maker note, then the XMP packet.
      {"drone_xmp_ii.jpg",
       testsupport::JpegFile({testsupport::Soi(), testsupport::App1Exif(drone), testsupport::App1Xmp(kDronePacket),
                              testsupport::StartOfFrame(64, 48), testsupport::ScanData(), testsupport::Eoi()})},
      {"preview_after_mm.jpg",
       testsupport::JpegFile({testsupport::Soi(),
                              testsupport::App1Exif(testsupport::SurveyLayout(Frame(false, true, false))),
                              testsupport::Segment(0xE2, Bytes{0xFF, 0xD8, 0xFF, 0xD9}),
                              testsupport::StartOfFrame(64, 48), testsupport::ScanData(600),
                              testsupport::Eoi()})},
  };
  // The same files behind head and tail sizes: three quarters of the file
  // and 40 bytes, so the first seeds already hit both sides of each piece.
  const std::string parts = root + "/partial_read/";
  for (const auto& named : jpegs) {
    ok &= Write(jpeg + named.first, named.second);
    const size_t head = named.second.size() * 3 / 4;
    Bytes input{static_cast<unsigned char>(head), static_cast<unsigned char>(head >> 8), 40, 0};
    input.insert(input.end(), named.second.begin(), named.second.end());
    ok &= Write(parts + named.first, input);
  }

  // find_thumbnail: the head selector names the whole file, which runs on
  // 16 KiB past it; and a directory that claims an 18 MB thumbnail.
  const std::string thumbnails = root + "/thumbnail/";
  testsupport::TiffLayout forged = testsupport::SurveyLayout(Frame(false, true, false));
  forged.ifd1 = std::vector<testsupport::TiffEntry>{testsupport::Long(0x0201, {600}),
                                                    testsupport::Long(0x0202, {18000000})};
  const std::pair<const char*, Bytes> with_thumbnails[] = {
      {"thumbnail_ii.jpg", testsupport::JpegWithExif(thumbnail)},
      {"forged_size_mm.jpg", testsupport::JpegWithExif(forged)},
  };
  for (const auto& named : with_thumbnails) {
    const size_t size = named.second.size();
    Bytes input{static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8), 16, 0};
    input.insert(input.end(), named.second.begin(), named.second.end());
    ok &= Write(thumbnails + named.first, input);
  }

  const std::string xmp = root + "/xmp_packet/";
  for (const auto& named : kPackets) {
    const std::string packet = named.second;
    ok &= Write(xmp + named.first, Bytes(packet.begin(), packet.end()));
  }

  // IFD0 starts 8 bytes into the TIFF header, which follows "Exif\0\0";
  // its entries follow the 2-byte count. Three entries of each byte order.
  const std::string entry = root + "/decode_entry/";
  for (const bool little_endian : {true, false}) {
    const Bytes payload = testsupport::ExifPayload(testsupport::SurveyLayout(Frame(little_endian, true, false)));
    for (uint32_t index = 0; index < 3; ++index) {
      const uint32_t position = 6 + 8 + 2 + 12 * index;
      ok &= Write(entry + (little_endian ? "ii_" : "mm_") + std::to_string(index),
                  EntryInput(little_endian, position, payload));
    }
  }

  const std::string settings = root + "/settings/";
  ok &= Write(settings + "plain.txt",
              Bytes{'a', ' ', '=', ' ', '1', '\n', 'b', '=', 'x', ' ', '#', ' ', 'c', '\n'});
  const std::string crlf = "# survey\r\nfolder = images\r\n\r\n key\t=\tvalue \r\n=none\r\nlast=1";
  ok &= Write(settings + "crlf.txt", Bytes(crlf.begin(), crlf.end()));
  return ok ? 0 : 1;
}
