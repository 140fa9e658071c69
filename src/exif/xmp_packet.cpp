// The XMP packet reader: one pass over the markup, with the open elements
// on a stack of our own (no recursion), the namespace declarations in scope
// beside it, and the text of the one element whose value it may want.
//
// A hostile packet costs time in proportion to its length: the stack, the
// declarations in scope, the attributes kept per element and every value
// kept are bounded, and a name is looked up only among the declarations in
// scope. An element past a bound is read as a closed box: the reader takes
// nothing from it or from anything inside it, so no name in it can be
// taken for one in another namespace.
#include "exif/xmp_packet.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// The namespaces the reader knows; every other one is `other`.
enum class Ns : uint8_t { other, rdf, drone, aux, exif_ex };

constexpr struct {
  std::string_view uri;
  Ns ns;
} kNamespaces[] = {
    {"http://www.w3.org/1999/02/22-rdf-syntax-ns#", Ns::rdf},
    {"http://www.dji.com/drone-dji/1.0/", Ns::drone},
    {"http://ns.adobe.com/exif/1.0/aux/", Ns::aux},
    {"http://cipa.jp/exif/1.0/", Ns::exif_ex},
};

// The values wanted, each with the namespace and local name it comes by.
enum Field : uint8_t {
  kRelativeAltitude,
  kAbsoluteAltitude,
  kGimbalPitch,
  kGimbalRoll,
  kGimbalYaw,
  kFlightPitch,
  kFlightRoll,
  kFlightYaw,
  kRtkStdLon,
  kRtkStdLat,
  kRtkStdHgt,
  kRtkFlag,
  // The serials, in their order of preference.
  kAuxSerial,
  kBodySerial,
  kDroneSerial,
  kFieldCount
};

constexpr struct {
  Ns ns;
  std::string_view name;
  Field field;
} kProperties[] = {
    {Ns::drone, "RelativeAltitude", kRelativeAltitude},
    {Ns::drone, "AbsoluteAltitude", kAbsoluteAltitude},
    {Ns::drone, "GimbalPitchDegree", kGimbalPitch},
    {Ns::drone, "GimbalRollDegree", kGimbalRoll},
    {Ns::drone, "GimbalYawDegree", kGimbalYaw},
    {Ns::drone, "FlightPitchDegree", kFlightPitch},
    {Ns::drone, "FlightRollDegree", kFlightRoll},
    {Ns::drone, "FlightYawDegree", kFlightYaw},
    {Ns::drone, "RtkFlag", kRtkFlag},
    {Ns::drone, "RtkStdLon", kRtkStdLon},
    {Ns::drone, "RtkStdLat", kRtkStdLat},
    {Ns::drone, "RtkStdHgt", kRtkStdHgt},
    {Ns::aux, "SerialNumber", kAuxSerial},
    {Ns::exif_ex, "BodySerialNumber", kBodySerial},
    {Ns::drone, "CameraSerialNumber", kDroneSerial},
};

// By field, the numbers before kRtkFlag.
constexpr std::optional<double> XmpValues::*kNumbers[kRtkFlag] = {
    &XmpValues::relative_altitude,  &XmpValues::absolute_altitude, &XmpValues::gimbal_pitch_degree,
    &XmpValues::gimbal_roll_degree, &XmpValues::gimbal_yaw_degree, &XmpValues::flight_pitch_degree,
    &XmpValues::flight_roll_degree, &XmpValues::flight_yaw_degree, &XmpValues::rtk_std_lon,
    &XmpValues::rtk_std_lat,        &XmpValues::rtk_std_hgt,
};

// Far more than a packet a camera writes needs: the wrapper, rdf:RDF,
// rdf:Description and its properties lie four deep; a drone's description
// carries some sixty attributes.
constexpr size_t kMaxDepth = 64;
constexpr size_t kMaxDeclarations = 128;
constexpr size_t kMaxAttributes = 1024;
// A number is a few dozen bytes and a serial at most kXmpSerialLimit; a
// longer value is cut here, and as a number is refused.
constexpr size_t kMaxValueBytes = 1024;

// What an element is to the reader, from its name and its parent's role.
enum class Role : uint8_t {
  outer,        // around rdf:RDF: the packet wrapper, x:xmpmeta
  rdf,          // rdf:RDF
  description,  // rdf:Description directly inside rdf:RDF
  property,     // a wanted property element inside such a description
  skipped,      // anything else; nothing inside it is read
};

struct Declaration {
  std::string_view prefix;  // empty for the default namespace
  Ns ns;
};

struct Element {
  Role role = Role::outer;
  Field field = kFieldCount;  // for a property
  bool has_children = false;  // a property with an element inside holds no simple value
  size_t declarations_before = 0;
};

struct Attribute {
  std::string_view name;
  std::string_view value;  // as written, references undecoded
};

// A value as decoded, cut to kMaxValueBytes.
struct Value {
  std::string text;
  bool cut = false;

  void append(std::string_view s) {
    const size_t room = kMaxValueBytes - text.size();
    if (s.size() > room) cut = true;
    text.append(s.substr(0, room));
  }
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// Appends code point `c` as UTF-8; false for one no XML text may hold.
bool append_utf8(uint32_t c, Value* out) {
  if (c == 0 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return false;
  char bytes[4];
  size_t n = 0;
  if (c < 0x80) {
    bytes[n++] = static_cast<char>(c);
  } else if (c < 0x800) {
    bytes[n++] = static_cast<char>(0xC0 | (c >> 6));
    bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    bytes[n++] = static_cast<char>(0xE0 | (c >> 12));
    bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    bytes[n++] = static_cast<char>(0xF0 | (c >> 18));
    bytes[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
  }
  out->append(std::string_view(bytes, n));
  return true;
}

// Decodes the reference `name` (between & and ;) into `out`; false for one
// the reader does not know, which then stays as written.
bool append_reference(std::string_view name, Value* out) {
  static constexpr struct {
    std::string_view name;
    std::string_view text;
  } kEntities[] = {{"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"apos", "'"}, {"quot", "\""}};
  for (const auto& entity : kEntities) {
    if (name == entity.name) {
      out->append(entity.text);
      return true;
    }
  }
  if (name.size() < 2 || name[0] != '#') return false;
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  uint32_t c = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), c, hex ? 16 : 10);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return false;
  return append_utf8(c, out);
}

// Appends `raw` with its references decoded. The longest reference known
// is &#x10FFFF; and leading zeros are rare, so a ';' is looked for among
// the next 16 bytes only.
void append_decoded(std::string_view raw, Value* out) {
  while (!raw.empty() && !out->cut) {
    const size_t amp = raw.find('&');
    out->append(raw.substr(0, amp));
    if (amp == std::string_view::npos) return;
    raw.remove_prefix(amp);
    const size_t semicolon = raw.substr(0, 16).find(';');
    if (semicolon != std::string_view::npos &&
        append_reference(raw.substr(1, semicolon - 1), out)) {
      raw.remove_prefix(semicolon + 1);
    } else {
      out->append("&");
      raw.remove_prefix(1);
    }
  }
}

// A number as XMP writes it: optional blanks, an optional sign, digits in
// the C locale's form; nothing else. std::from_chars takes no '+' and
// reads the same under every locale.
template <typename Number>
std::optional<Number> parse_number(std::string_view s) {
  s = trimmed(s);
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s.front() == '-') return std::nullopt;
  }
  Number v{};
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || error != std::errc() || end != s.data() + s.size()) return std::nullopt;
  if constexpr (std::is_floating_point_v<Number>) {
    if (!std::isfinite(v)) return std::nullopt;
  }
  return v;
}

// `s` cut to at most `limit` bytes, not inside a UTF-8 sequence.
std::string_view cut_utf8(std::string_view s, size_t limit) {
  if (s.size() <= limit) return s;
  size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// The reader's state over one packet.
struct Reader {
  std::string_view in;
  size_t pos = 0;
  std::vector<Element> open;  // at most kMaxDepth
  size_t deeper = 0;          // elements open past kMaxDepth, not on the stack
  std::vector<Declaration> declarations;
  std::vector<Attribute> attributes;
  Value text;  // of the open property element
  std::array<bool, kFieldCount> seen{};
  std::array<std::string, 3> serials;  // by preference
  XmpValues values;

  void run();
  bool markup();
  bool start_tag();
  void open_element(std::string_view name, bool too_many_attributes, bool empty);
  void close_element();
  bool declare(size_t before);
  Ns lookup(std::string_view prefix) const;
  std::pair<Ns, std::string_view> resolve(std::string_view name, bool attribute) const;
  std::pair<Role, Field> role_of(std::string_view name, Role parent) const;
  void read_attributes();
  void store(Field field, const Value& value);

  bool in_property() const {
    return deeper == 0 && !open.empty() && open.back().role == Role::property;
  }
  // Moves past the next `end`; false when there is none.
  bool skip_past(std::string_view end) {
    const size_t at = in.find(end, pos);
    if (at == std::string_view::npos) return false;
    pos = at + end.size();
    return true;
  }
};

void Reader::run() {
  while (pos < in.size()) {
    const size_t lt = in.find('<', pos);
    const size_t text_end = lt == std::string_view::npos ? in.size() : lt;
    if (in_property()) append_decoded(in.substr(pos, text_end - pos), &text);
    if (lt == std::string_view::npos) return;
    pos = lt;
    if (!markup()) return;
  }
}

// The markup at `pos`, a '<'. False when it does not end in the packet.
bool Reader::markup() {
  const std::string_view rest = in.substr(pos);
  const auto skip = [this](size_t opening, std::string_view end) {
    pos += opening;
    return skip_past(end);
  };
  if (starts_with(rest, "<?")) return skip(2, "?>");  // the xpacket wrapper
  if (starts_with(rest, "<!--")) return skip(4, "-->");
  if (starts_with(rest, "<![CDATA[")) {
    const size_t start = pos + 9;
    if (!skip(9, "]]>")) return false;
    if (in_property()) text.append(in.substr(start, pos - 3 - start));
    return true;
  }
  if (starts_with(rest, "<!")) return skip(2, ">");
  if (starts_with(rest, "</")) {
    if (!skip(2, ">")) return false;
    close_element();
    return true;
  }
  return start_tag();
}

// Name characters: everything but blanks, NUL and the bytes that end a
// name in a tag. A table: the reader asks it of every byte of every name.
constexpr std::array<bool, 256> kEndsName = [] {
  std::array<bool, 256> ends{};
  for (const unsigned char c : {' ', '\t', '\r', '\n', '\0', '/', '>', '=', '<', '"', '\''}) {
    ends[c] = true;
  }
  return ends;
}();

bool ends_name(char c) { return kEndsName[static_cast<unsigned char>(c)]; }

size_t name_end(std::string_view in, size_t pos) {
  while (pos < in.size() && !ends_name(in[pos])) ++pos;
  return pos;
}

size_t blanks_end(std::string_view in, size_t pos) {
  while (pos < in.size() && is_blank(in[pos])) ++pos;
  return pos;
}

// A start tag at `pos`: its name, then attributes name="value" or
// name='value', then > or />. False when it is malformed or does not end.
bool Reader::start_tag() {
  size_t at = pos + 1;
  const size_t end = name_end(in, at);
  const std::string_view name = in.substr(at, end - at);
  if (name.empty()) return false;
  at = end;
  attributes.clear();
  bool too_many = false;
  for (;;) {
    const size_t next = blanks_end(in, at);
    if (next >= in.size()) return false;
    if (in[next] == '>' || starts_with(in.substr(next), "/>")) {
      const bool empty = in[next] == '/';
      pos = next + (empty ? 2 : 1);
      open_element(name, too_many, empty);
      return true;
    }
    if (next == at) return false;  // attributes are set apart by blanks
    const size_t name_stop = name_end(in, next);
    const size_t equals = blanks_end(in, name_stop);
    if (name_stop == next || equals >= in.size() || in[equals] != '=') return false;
    const size_t quote = blanks_end(in, equals + 1);
    if (quote >= in.size() || (in[quote] != '"' && in[quote] != '\'')) return false;
    const size_t close = in.find(in[quote], quote + 1);
    if (close == std::string_view::npos) return false;
    if (attributes.size() < kMaxAttributes) {
      attributes.push_back(
          Attribute{in.substr(next, name_stop - next), in.substr(quote + 1, close - quote - 1)});
    } else {
      too_many = true;
    }
    at = close + 1;
  }
}

Ns lookup_uri(std::string_view uri) {
  for (const auto& known : kNamespaces) {
    if (uri == known.uri) return known.ns;
  }
  return Ns::other;
}

// Takes the element's namespace declarations into scope after the
// `before` in scope already; false when they pass the bound, and then none
// of them is.
bool Reader::declare(size_t before) {
  for (const Attribute& a : attributes) {
    if (a.name.size() < 5 || a.name[0] != 'x') continue;  // most are no declaration
    std::string_view prefix;
    if (starts_with(a.name, "xmlns:") && a.name.size() > 6) {
      prefix = a.name.substr(6);
    } else if (a.name != "xmlns") {
      continue;
    }
    if (prefix == "xml" || prefix == "xmlns") continue;  // bound for good
    if (declarations.size() == kMaxDeclarations) {
      declarations.resize(before);
      return false;
    }
    Value uri;
    append_decoded(a.value, &uri);
    declarations.push_back(Declaration{prefix, uri.cut ? Ns::other : lookup_uri(uri.text)});
  }
  return true;
}

// The namespace `prefix` is bound to in scope, the innermost binding first.
// An undeclared prefix, or none without a default namespace, is in none
// the reader knows.
Ns Reader::lookup(std::string_view prefix) const {
  for (auto d = declarations.rbegin(); d != declarations.rend(); ++d) {
    if (d->prefix == prefix) return d->ns;
  }
  return Ns::other;
}

std::optional<Field> wanted(Ns ns, std::string_view local) {
  // Most of a drone's sixty attributes are in namespaces no field is in.
  if (ns == Ns::other || ns == Ns::rdf) return std::nullopt;
  for (const auto& p : kProperties) {
    if (p.ns == ns && p.name == local) return p.field;
  }
  return std::nullopt;
}

// The namespace and local name of an element's or an attribute's name. A
// name without a prefix is in the default namespace for an element, in none
// for an attribute.
std::pair<Ns, std::string_view> Reader::resolve(std::string_view name, bool attribute) const {
  const size_t colon = name.find(':');
  if (colon == std::string_view::npos) return {attribute ? Ns::other : lookup(""), name};
  if (colon == 0) return {Ns::other, name};
  return {lookup(name.substr(0, colon)), name.substr(colon + 1)};
}

// The element's role from its name and its parent's role, and for a
// property the value it holds.
std::pair<Role, Field> Reader::role_of(std::string_view name, Role parent) const {
  const auto [ns, local] = resolve(name, false);
  const bool rdf = ns == Ns::rdf;
  switch (parent) {
    case Role::outer: return {rdf && local == "RDF" ? Role::rdf : Role::outer, kFieldCount};
    case Role::rdf:
      return {rdf && local == "Description" ? Role::description : Role::skipped, kFieldCount};
    case Role::description: {
      const std::optional<Field> field = wanted(ns, local);
      return {field ? Role::property : Role::skipped, field.value_or(kFieldCount)};
    }
    default: return {Role::skipped, kFieldCount};
  }
}

void Reader::open_element(std::string_view name, bool too_many_attributes, bool empty) {
  if (deeper > 0 || open.size() == kMaxDepth) {
    if (!empty) ++deeper;
    if (!open.empty() && open.back().role == Role::property) open.back().has_children = true;
    return;
  }
  const Role parent = open.empty() ? Role::outer : open.back().role;
  if (parent == Role::property) open.back().has_children = true;
  Element e;
  e.declarations_before = declarations.size();
  e.role = Role::skipped;
  if (!too_many_attributes && declare(e.declarations_before)) {
    std::tie(e.role, e.field) = role_of(name, parent);
  }
  if (e.role == Role::description) read_attributes();
  if (e.role == Role::property) text = Value();
  open.push_back(e);
  if (empty) close_element();
}

void Reader::close_element() {
  if (deeper > 0) {
    --deeper;
    return;
  }
  if (open.empty()) return;  // an end tag without a start
  const Element& e = open.back();
  if (e.role == Role::property && !e.has_children) store(e.field, text);
  declarations.resize(e.declarations_before);
  open.pop_back();
}

// The wanted attributes of a description. Declarations are in no namespace
// the reader knows, as their prefix xmlns is bound to none.
void Reader::read_attributes() {
  // A description's attributes come in runs of one prefix (a drone writes
  // some thirty drone-dji: ones): the last prefix's namespace is kept.
  std::string_view last_prefix;
  Ns last_ns = Ns::other;
  bool known = false;
  for (const Attribute& a : attributes) {
    const size_t colon = a.name.find(':');
    Ns ns = Ns::other;
    std::string_view local = a.name;
    if (colon != std::string_view::npos && colon > 0) {
      const std::string_view prefix = a.name.substr(0, colon);
      if (!known || prefix != last_prefix) {
        last_prefix = prefix;
        last_ns = lookup(prefix);
        known = true;
      }
      ns = last_ns;
      local = a.name.substr(colon + 1);
    }
    const std::optional<Field> field = wanted(ns, local);
    if (!field || seen[*field]) continue;
    Value value;
    append_decoded(a.value, &value);
    store(*field, value);
  }
}

// A value cut to kMaxValueBytes is no number.
void Reader::store(Field field, const Value& value) {
  if (seen[field]) return;
  seen[field] = true;
  if (field < kRtkFlag) {
    if (!value.cut) values.*kNumbers[field] = parse_number<double>(value.text);
  } else if (field == kRtkFlag) {
    if (!value.cut) values.rtk_flag = parse_number<int>(value.text);
  } else {
    serials[field - kAuxSerial] = std::string(cut_utf8(trimmed(value.text), kXmpSerialLimit));
  }
}

}  // namespace

XmpValues read_xmp_packet(const unsigned char* data, uint32_t size) {
  Reader reader;
  if (data == nullptr) return reader.values;
  // Room for what a camera's packet holds, so that reading one allocates
  // once rather than growing each list step by step.
  reader.open.reserve(8);
  reader.declarations.reserve(16);
  reader.attributes.reserve(64);
  reader.in = std::string_view(reinterpret_cast<const char*>(data),
                               std::min<uint32_t>(size, kXmpPacketLimit));
  reader.run();
  for (const std::string& serial : reader.serials) {
    if (!serial.empty()) {
      reader.values.camera_serial = serial;
      break;
    }
  }
  return reader.values;
}
