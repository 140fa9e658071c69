// The drone frame writer, over the test-support JPEG writer.
#include "support/drone_frame.h"

#include <cstdio>

namespace testsupport {

DroneFrame::DroneFrame() {
  camera.make = "DJI";
  camera.model = "FC6310R";
  camera.width = 5472;
  camera.height = 3648;
  camera.focal_35mm = 24;
  camera.focal_length = {88, 10};
  camera.exposure_time = {1, 500};
  camera.gps = GpsFix{30.26, 120.12, 150.0};
}

namespace {

void Attribute(std::string* xml, const char* name, const std::optional<double>& value) {
  if (!value) return;
  char text[48];
  std::snprintf(text, sizeof text, "%+.2f", *value);
  *xml += std::string("\n   drone-dji:") + name + "=\"" + text + "\"";
}

}  // namespace

std::string DroneXmp(const DroneFrame& frame) {
  std::string xml =
      "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
      " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
      "  <rdf:Description rdf:about=\"DJI Meta Data\"\n"
      "   xmlns:tiff=\"http://ns.adobe.com/tiff/1.0/\"\n"
      "   xmlns:exif=\"http://ns.adobe.com/exif/1.0/\"\n"
      "   xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
      "   xmlns:drone-dji=\"http://www.dji.com/drone-dji/1.0/\"\n"
      "   tiff:Make=\"" +
      frame.camera.make + "\"\n   tiff:Model=\"" + frame.camera.model +
      "\"\n   xmp:CreateDate=\"2024-05-01\"";
  Attribute(&xml, "AbsoluteAltitude", frame.absolute_altitude);
  Attribute(&xml, "RelativeAltitude", frame.relative_altitude);
  Attribute(&xml, "GimbalRollDegree", frame.gimbal_roll);
  Attribute(&xml, "GimbalYawDegree", frame.gimbal_yaw);
  Attribute(&xml, "GimbalPitchDegree", frame.gimbal_pitch);
  Attribute(&xml, "FlightRollDegree", std::optional<double>(0.0));
  Attribute(&xml, "FlightYawDegree", frame.flight_yaw);
  Attribute(&xml, "FlightPitchDegree", std::optional<double>(0.0));
  if (frame.rtk_flag) xml += "\n   drone-dji:RtkFlag=\"" + std::to_string(*frame.rtk_flag) + "\"";
  Attribute(&xml, "RtkStdLon", frame.rtk_std);
  Attribute(&xml, "RtkStdLat", frame.rtk_std);
  Attribute(&xml, "RtkStdHgt", frame.rtk_std);
  xml += ">\n  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n" + std::string(400, ' ') +
         "\n<?xpacket end=\"w\"?>";
  return xml;
}

Bytes MakeDroneJpeg(const DroneFrame& frame) {
  TiffLayout layout = SurveyLayout(frame.camera);
  layout.exif->push_back(Ascii(0x9011, frame.offset));
  layout.exif->push_back(Ascii(0x9291, frame.sub_seconds));
  if (!frame.serial.empty()) layout.exif->push_back(Ascii(0xA431, frame.serial));
  if (!frame.lens.empty()) layout.exif->push_back(Ascii(0xA434, frame.lens));
  const Bytes thumbnail =
      JpegFile({Soi(), Segment(0xFE, Bytes(frame.thumbnail_bytes - 8, 't')), Eoi()});
  // The thumbnail ends the segment, as cameras write it, so that its end
  // marker bounds everything before it. IFD1's two values sit in the
  // entries, so the structure's size does not depend on them.
  const auto with_thumbnail = [&](TiffLayout tiff) {
    tiff.ifd1 = std::vector<TiffEntry>{Long(0x0201, {0}), Long(0x0202, {0})};
    const uint32_t at = static_cast<uint32_t>(TiffBytes(tiff).size());
    tiff.ifd1 = std::vector<TiffEntry>{Long(0x0201, {at}),
                                       Long(0x0202, {static_cast<uint32_t>(thumbnail.size())})};
    Bytes body = {'E', 'x', 'i', 'f', 0, 0};
    const Bytes structure = TiffBytes(tiff);
    body.insert(body.end(), structure.begin(), structure.end());
    body.insert(body.end(), thumbnail.begin(), thumbnail.end());
    return Segment(0xE1, body);
  };
  // The maker note fills the segment to its size, as the drone's does.
  const std::size_t without_note = with_thumbnail(layout).size();
  const std::size_t note =
      frame.exif_bytes > without_note + 12 ? frame.exif_bytes - without_note - 12 : 1;
  layout.exif->push_back(Undefined(0x927C, Bytes(note, 0x5A)));
  Bytes file = JpegFile({Soi(), with_thumbnail(layout)});
  if (frame.xmp) {
    const Bytes xmp = App1Xmp(DroneXmp(frame));
    file.insert(file.end(), xmp.begin(), xmp.end());
  }
  const Bytes picture = JpegFile({Segment(0xDB, Bytes(65, 1)),
                                  StartOfFrame(static_cast<uint16_t>(frame.camera.width & 0xFFFF),
                                               static_cast<uint16_t>(frame.camera.height & 0xFFFF)),
                                  ScanData(frame.picture_bytes), Eoi()});
  file.insert(file.end(), picture.begin(), picture.end());
  return file;
}

}  // namespace testsupport
