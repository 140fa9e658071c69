// read_xmp_packet on packets shaped as drones and editing tools write them,
// on names bound to other namespaces, and on hostile packets.
#include "exif/xmp_packet.h"

#include <gtest/gtest.h>

#include <charconv>
#include <string>

namespace {

constexpr char kDrone[] = "http://www.dji.com/drone-dji/1.0/";

XmpValues Read(const std::string& packet) {
  return read_xmp_packet(reinterpret_cast<const unsigned char*>(packet.data()),
                         static_cast<uint32_t>(packet.size()));
}

// The values given, as "name=value" in field order.
std::string Describe(const XmpValues& v) {
  std::string out;
  const auto put = [&out](const char* name, const auto& value) {
    if (!value) return;
    char number[32];
    out += std::string(name) + '=' +
           std::string(number, std::to_chars(number, number + sizeof number, *value).ptr) + ' ';
  };
  put("rel", v.relative_altitude);
  put("abs", v.absolute_altitude);
  put("gp", v.gimbal_pitch_degree);
  put("gr", v.gimbal_roll_degree);
  put("gy", v.gimbal_yaw_degree);
  put("fp", v.flight_pitch_degree);
  put("fr", v.flight_roll_degree);
  put("fy", v.flight_yaw_degree);
  put("rtk", v.rtk_flag);
  put("lon", v.rtk_std_lon);
  put("lat", v.rtk_std_lat);
  put("hgt", v.rtk_std_hgt);
  if (!v.camera_serial.empty()) out += "serial=" + v.camera_serial + ' ';
  return out;
}

// A packet as a frame carries it: the xpacket wrapper, x:xmpmeta, rdf:RDF
// and one rdf:Description with `attributes` and `body`, then padding.
std::string Packet(const std::string& attributes, const std::string& body = "",
                   const std::string& declarations = "") {
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
         " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
         "  <rdf:Description rdf:about=\"\"\n"
         "    xmlns:tiff=\"http://ns.adobe.com/tiff/1.0/\"\n"
         "    xmlns:exif=\"http://ns.adobe.com/exif/1.0/\"\n"
         "    xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
         "    xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
         "    xmlns:drone-dji=\"http://www.dji.com/drone-dji/1.0/\"\n" +
         declarations + "   " + attributes + ">\n" + body +
         "  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n" + std::string(2048, ' ') +
         "\n<?xpacket end=\"w\"?>";
}

TEST(XmpPacket, ReadsTheDronesAttributeForm) {
  const std::string packet = Packet(
      "tiff:Make=\"SurveyCopter\" tiff:Model=\"SC-M3E\" exif:ExposureTime=\"1/1000\"\n"
      "   xmp:CreateDate=\"2024-05-01T10:00:00\" dc:format=\"image/jpeg\"\n"
      "   drone-dji:GpsStatus=\"RTK\" drone-dji:AbsoluteAltitude=\"+135.37\"\n"
      "   drone-dji:RelativeAltitude=\"+100.20\" drone-dji:GimbalRollDegree=\"+0.00\"\n"
      "   drone-dji:GimbalYawDegree=\"-90.10\" drone-dji:GimbalPitchDegree=\"-89.90\"\n"
      "   drone-dji:FlightRollDegree=\"+1.20\" drone-dji:FlightYawDegree=\"-88.70\"\n"
      "   drone-dji:FlightPitchDegree=\"+3.40\" drone-dji:RtkFlag=\"50\"\n"
      "   drone-dji:RtkStdLon=\"0.01012\" drone-dji:RtkStdLat=\"0.01087\"\n"
      "   drone-dji:RtkStdHgt=\"0.02011\" drone-dji:CameraSerialNumber=\"5YSZK1A0020B\"",
      "   <dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">frame</rdf:li></rdf:Alt></dc:title>\n");
  EXPECT_EQ(Describe(Read(packet)),
            "rel=100.2 abs=135.37 gp=-89.9 gr=0 gy=-90.1 fp=3.4 fr=1.2 fy=-88.7 rtk=50 "
            "lon=0.01012 lat=0.01087 hgt=0.02011 serial=5YSZK1A0020B ");
}

TEST(XmpPacket, MatchesByNamespaceInEitherForm) {
  const std::string other = "\"http://example.com/other-drone/1.0/\"";
  const std::string drone = std::string("\"") + kDrone + "\"";
  const std::string rdf = "\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"";
  const struct {
    const char* name;
    std::string packet;
    const char* want;
  } cases[] = {
      {"element form",
       Packet("",
              "<drone-dji:RelativeAltitude>+100.20</drone-dji:RelativeAltitude>\n"
              "<drone-dji:RtkFlag> 16 </drone-dji:RtkFlag>"),
       "rel=100.2 rtk=16 "},
      {"other maker's namespace", Packet("o:RelativeAltitude=\"5\"", "", "xmlns:o=" + other), ""},
      {"drone-dji bound elsewhere, d to the drone",
       "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=" + rdf +
           "><rdf:Description xmlns:drone-dji=" + other + " xmlns:d=" + drone +
           " drone-dji:RelativeAltitude=\"5\" d:AbsoluteAltitude=\"6\"><drone-dji:GimbalRollDegree>"
           "7</drone-dji:GimbalRollDegree><d:GimbalYawDegree>8</d:GimbalYawDegree>"
           "</rdf:Description></rdf:RDF></x:xmpmeta>",
       "abs=6 gy=8 "},
      {"declared on rdf:RDF, rebound inside",
       "<rdf:RDF xmlns:rdf=" + rdf + " xmlns:q=" + drone + "><rdf:Description q:RtkStdLon=\"1\">" +
           "<q:RtkStdLat xmlns:q=" + other + ">2</q:RtkStdLat><q:RtkStdHgt>3</q:RtkStdHgt>" +
           "</rdf:Description><rdf:Description xmlns:q=" + other + " q:FlightYawDegree=\"4\"/>" +
           "</rdf:RDF>",
       "lon=1 hgt=3 "},
      {"scope ends with the element",
       "<rdf:RDF xmlns:rdf=" + rdf + "><rdf:Description xmlns:q=" + drone +
           "/><rdf:Description q:FlightYawDegree=\"4\"/></rdf:RDF>",
       ""},
      {"default namespace: elements in it, attributes not",
       "<RDF xmlns=" + rdf + "><Description><FlightRollDegree xmlns=" + drone +
           ">-2</FlightRollDegree></Description><r:Description xmlns:r=" + rdf + " xmlns=" + drone +
           " FlightYawDegree=\"4\"/></RDF>",
       "fr=-2 "},
      {"rdf:Description outside rdf:RDF",
       "<x:xmpmeta xmlns:rdf=" + rdf + " xmlns:d=" + drone +
           "><rdf:Description d:RtkFlag=\"50\"/></x:xmpmeta>",
       ""},
      {"nested structures skipped",
       Packet("",
              "<dc:subject><rdf:Bag><rdf:li><rdf:Description drone-dji:RtkFlag=\"1\"/>"
              "</rdf:li></rdf:Bag></dc:subject><drone-dji:RelativeAltitude><rdf:Seq>"
              "<rdf:li>5</rdf:li></rdf:Seq></drone-dji:RelativeAltitude>"
              "<drone-dji:RelativeAltitude>9</drone-dji:RelativeAltitude>"),
       "rel=9 "},
      {"comments, instructions, CDATA",
       Packet(
           "",
           "<!-- drone-dji:RtkFlag=\"1\" --><?pi drone-dji:RtkFlag=\"2\"?>"
           "<drone-dji:AbsoluteAltitude>1<!-- x -->2<![CDATA[.5]]></drone-dji:AbsoluteAltitude>"),
       "abs=12.5 "},
      {"entities and character references",
       Packet(
           "drone-dji:CameraSerialNumber=\"A&amp;B&lt;&#67;&#x44;&quot;&apos;&gt;&#xE9;&foo;&#0;\""
           " drone-dji:RelativeAltitude=\"&#43;1.5\" drone-dji:AbsoluteAltitude='&#x31;&#x30;'"),
       "rel=1.5 abs=10 serial=A&B<CD\"'>\xC3\xA9&foo;&#0; "},
      {"first of each wins, attribute before element",
       Packet("drone-dji:RtkFlag=\"x\" drone-dji:GimbalPitchDegree=\"-90\"",
              "<drone-dji:RtkFlag>50</drone-dji:RtkFlag>"
              "<drone-dji:GimbalPitchDegree>-45</drone-dji:GimbalPitchDegree>"),
       "gp=-90 "},
      {"serial preference: aux, then body, then the drone's",
       Packet("drone-dji:CameraSerialNumber=\"D\" exifEX:BodySerialNumber=\"B\" aux:SerialNumber="
              "\" \"",
              "<aux:SerialNumber>A</aux:SerialNumber>",
              "xmlns:aux=\"http://ns.adobe.com/exif/1.0/aux/\" "
              "xmlns:exifEX=\"http://cipa.jp/exif/1.0/\""),
       "serial=B "},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(Read(c.packet)), c.want) << c.name;
}

// Each text as a number (RelativeAltitude) and as an integer (RtkFlag).
TEST(XmpPacket, NumbersAreStrict) {
  const struct {
    const char* text;
    const char* want;
  } cases[] = {
      {" +100.20 ", "rel=100.2 "},
      {"-0.5", "rel=-0.5 "},
      {"1e2", "rel=100 "},
      {"\n+12\t", "rel=12 rtk=12 "},
      {"-3", "rel=-3 rtk=-3 "},
      {"9999999999", "rel=9999999999 "},
      {"1,5", ""},
      {"NaN", ""},
      {"-inf", ""},
      {"1e999", ""},
      {"5m", ""},
      {"+-1", ""},
      {"++1", ""},
      {"0x10", ""},
      {"", ""},
      {"1 2", ""},
      {"+", ""},
      {".", ""},
  };
  for (const auto& c : cases) {
    const std::string text = c.text;
    EXPECT_EQ(Describe(Read(Packet("drone-dji:RelativeAltitude=\"" + text + "\"",
                                   "<drone-dji:RtkFlag>" + text + "</drone-dji:RtkFlag>"))),
              c.want)
        << c.text;
  }
}

TEST(XmpPacket, HostilePacketsCostLittleAndKeepWhatCameBefore) {
  const std::string value = "drone-dji:RelativeAltitude=\"1\"";
  std::string deep, attributes, declarations, nested_declarations;
  for (int k = 0; k < 10000; ++k) deep += "<a>";
  for (int k = 0; k < 2000; ++k) attributes += " a" + std::to_string(k) + "=\"\"";
  for (int k = 0; k < 200; ++k) declarations += " xmlns:p" + std::to_string(k) + "=\"u\"";
  // 7,000 deep and closed again, to fit in 64 KiB.
  std::string closed_deep = deep.substr(0, 3 * 7000);
  for (int k = 0; k < 7000; ++k) closed_deep += "</a>";
  const std::string serial(60000, 'S');
  const struct {
    const char* name;
    std::string packet;
    const char* want;
  } cases[] = {
      {"unterminated tag", Packet(value, "<drone-dji:RtkFlag 5</drone-dji:RtkFlag>"), "rel=1 "},
      {"unterminated quote", Packet(value + " drone-dji:RtkFlag=\"50"), ""},
      {"unterminated comment", Packet(value, "<!-- "), "rel=1 "},
      {"10,000 open elements", Packet(value, deep + "<drone-dji:RtkFlag>5</drone-dji:RtkFlag>"),
       "rel=1 "},
      {"7,000 closed elements",
       Packet(value, closed_deep + "<drone-dji:RtkFlag>5</drone-dji:RtkFlag>"), "rel=1 rtk=5 "},
      {"2,000 attributes", Packet(value + attributes), ""},
      {"200 declarations", Packet(value, "", declarations), ""},
      {"a 60 KB number", Packet("drone-dji:RelativeAltitude=\"1" + std::string(60000, '0') + "\""),
       ""},
      {"NUL in a value", Packet(std::string("drone-dji:RelativeAltitude=\"1") + '\0' + "\""), ""},
      {"NUL in a name", Packet(std::string("drone-dji:RelativeAltitude") + '\0' + "=\"1\""), ""},
      {"past 64 KiB", Packet(value + std::string(66000, ' ') + "drone-dji:RtkFlag=\"1\""), ""},
      {"tags at 64 KiB",
       Packet(value, std::string(66000, ' ') + "<drone-dji:RtkFlag>1</drone-dji:RtkFlag>"),
       "rel=1 "},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(Read(c.packet)), c.want) << c.name;
  // The 60 KB serial is cut to 256 bytes, not inside a character.
  EXPECT_EQ(Read(Packet("drone-dji:CameraSerialNumber=\"" + serial + "\"")).camera_serial,
            serial.substr(0, 256));
  const std::string wide = "\xE4\xB8\xAD";  // 中: three bytes, 256 is no multiple of three
  std::string chinese;
  for (int k = 0; k < 100; ++k) chinese += wide;
  EXPECT_EQ(Read(Packet("drone-dji:CameraSerialNumber=\"" + chinese + "\"")).camera_serial,
            chinese.substr(0, 255));
  EXPECT_EQ(Describe(read_xmp_packet(nullptr, 100)), "");
}

}  // namespace
