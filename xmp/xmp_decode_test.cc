// The XMP decoder: which names set which fields (by namespace URI, in both
// the attribute and the element form), and what hostile packets cost.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "xmp/xmp_facts.h"

namespace {

const char kDjiUri[] = "http://www.dji.com/drone-dji/1.0/";

// A packet as cameras write it: one rdf:Description with the namespace
// declarations and attributes `attributes`, holding `children`.
std::string packet(const std::string& attributes, const std::string& children = "") {
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
         " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
         "  <rdf:Description rdf:about=\"\" " +
         attributes + ">" + children +
         "</rdf:Description>\n"
         " </rdf:RDF>\n"
         "</x:xmpmeta>\n"
         "<?xpacket end=\"w\"?>";
}

const std::string kDjiNs = std::string("xmlns:drone-dji=\"") + kDjiUri + "\"";

XmpFacts decode(const std::string& bytes) {
  return decodeXmpPacket(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

XmpFacts decode(const std::string& bytes, XmpParser& kept) {
  return decodeXmpPacket(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), kept);
}

// Every number field by name, so that a case can say which ones it sets and
// have all others checked absent.
struct NumberField {
  const char* name;
  // clang-format off
  XmpNumber XmpFacts::*member;
  // clang-format on
};
const NumberField kNumberFields[] = {
    {"relativeAltitude", &XmpFacts::relativeAltitude},
    {"absoluteAltitude", &XmpFacts::absoluteAltitude},
    {"gimbalPitch", &XmpFacts::gimbalPitch},
    {"gimbalYaw", &XmpFacts::gimbalYaw},
    {"gimbalRoll", &XmpFacts::gimbalRoll},
    {"flightPitch", &XmpFacts::flightPitch},
    {"flightYaw", &XmpFacts::flightYaw},
    {"flightRoll", &XmpFacts::flightRoll},
    {"flightXSpeed", &XmpFacts::flightXSpeed},
    {"flightYSpeed", &XmpFacts::flightYSpeed},
    {"flightZSpeed", &XmpFacts::flightZSpeed},
    {"rtkFlag", &XmpFacts::rtkFlag},
    {"rtkStdLon", &XmpFacts::rtkStdLon},
    {"rtkStdLat", &XmpFacts::rtkStdLat},
    {"rtkStdHgt", &XmpFacts::rtkStdHgt},
    {"posePitch", &XmpFacts::posePitch},
    {"poseHeading", &XmpFacts::poseHeading},
    {"cameraPitch", &XmpFacts::cameraPitch},
    {"cameraYaw", &XmpFacts::cameraYaw},
    {"cameraRoll", &XmpFacts::cameraRoll},
    {"gpsXYAccuracy", &XmpFacts::gpsXYAccuracy},
    {"gpsZAccuracy", &XmpFacts::gpsZAccuracy},
};

using Expected = std::vector<std::pair<std::string, double>>;

// The number fields of `facts` against `expected` (name and value); every
// field not named must be absent.
void expectNumbers(const XmpFacts& facts, const Expected& expected) {
  for (const NumberField& field : kNumberFields) {
    const XmpNumber& number = facts.*field.member;
    const Expected::value_type* wanted = nullptr;
    for (const auto& e : expected) {
      if (e.first == field.name) wanted = &e;
    }
    if (wanted == nullptr) {
      EXPECT_FALSE(number.has) << field.name << " is " << number.value;
    } else {
      EXPECT_TRUE(number.has) << field.name;
      EXPECT_DOUBLE_EQ(number.value, wanted->second) << field.name;
    }
  }
}

struct DecodeCase {
  const char* name;
  std::string packet;
  Expected numbers;
  std::string projectionType;
};

TEST(XmpDecode, FindsFieldsByNamespaceUri) {
  const std::string dji = kDjiNs;
  const DecodeCase cases[] = {
      {"attribute form",
       packet(dji + " drone-dji:RelativeAltitude=\"+119.80\" drone-dji:AbsoluteAltitude=\"+362.97\""
                    " drone-dji:GimbalPitchDegree=\"-40.90\" drone-dji:GimbalYawDegree=\"+126.20\""
                    " drone-dji:GimbalRollDegree=\"+0.00\" drone-dji:FlightYawDegree=\"+126.30\""
                    " drone-dji:FlightPitchDegree=\"+2.30\" drone-dji:FlightRollDegree=\"+2.70\""
                    " drone-dji:FlightXSpeed=\"+1.5\" drone-dji:FlightYSpeed=\"-0.25\""
                    " drone-dji:FlightZSpeed=\"0\" drone-dji:RtkFlag=\"50\""
                    " drone-dji:RtkStdLon=\"0.012\" drone-dji:RtkStdLat=\"0.011\""
                    " drone-dji:RtkStdHgt=\"0.02\""),
       {{"relativeAltitude", 119.8},
        {"absoluteAltitude", 362.97},
        {"gimbalPitch", -40.9},
        {"gimbalYaw", 126.2},
        {"gimbalRoll", 0},
        {"flightYaw", 126.3},
        {"flightPitch", 2.3},
        {"flightRoll", 2.7},
        {"flightXSpeed", 1.5},
        {"flightYSpeed", -0.25},
        {"flightZSpeed", 0},
        {"rtkFlag", 50},
        {"rtkStdLon", 0.012},
        {"rtkStdLat", 0.011},
        {"rtkStdHgt", 0.02}},
       ""},
      {"element form",
       packet(dji,
              "<drone-dji:RelativeAltitude>+62.50</drone-dji:RelativeAltitude>"
              "<drone-dji:GimbalPitchDegree>\n  -89.90\n</drone-dji:GimbalPitchDegree>"),
       {{"relativeAltitude", 62.5}, {"gimbalPitch", -89.9}},
       ""},
      {"another prefix bound to the DJI namespace",
       packet(std::string("xmlns:dji=\"") + kDjiUri + "\" dji:RelativeAltitude=\"+10\"",
              "<dji:FlightXSpeed>2.5</dji:FlightXSpeed>"),
       {{"relativeAltitude", 10}, {"flightXSpeed", 2.5}},
       ""},
      {"the DJI namespace as the default one of an element",
       packet("", std::string("<FlightYSpeed xmlns=\"") + kDjiUri + "\">-3</FlightYSpeed>"),
       {{"flightYSpeed", -3}},
       ""},
      {"the drone-dji prefix bound to another namespace",
       packet("xmlns:drone-dji=\"http://www.dji.com/drone-dji/2.0/\""
              " drone-dji:RelativeAltitude=\"+10\"",
              "<drone-dji:GimbalPitchDegree>-90</drone-dji:GimbalPitchDegree>"),
       {},
       ""},
      {"an attribute without a namespace", packet("RelativeAltitude=\"+10\""), {}, ""},
      {"numbers good and bad",
       packet(dji + " drone-dji:RelativeAltitude=\"0x1A\" drone-dji:AbsoluteAltitude=\"inf\""
                    " drone-dji:GimbalPitchDegree=\"nan\" drone-dji:GimbalYawDegree=\"12 m\""
                    " drone-dji:GimbalRollDegree=\"\" drone-dji:FlightYawDegree=\"1,5\""
                    " drone-dji:FlightPitchDegree=\" -1.5e1 \""),
       {{"flightPitch", -15}},
       ""},
      {"a field holding a structure, and one outside a description",
       packet(dji,
              "<drone-dji:RelativeAltitude><rdf:Seq><rdf:li>5</rdf:li></rdf:Seq>"
              "</drone-dji:RelativeAltitude>"
              "<drone-dji:Other><drone-dji:FlightXSpeed>1</drone-dji:FlightXSpeed>"
              "</drone-dji:Other>"),
       {},
       ""},
      {"the first of two values counts",
       packet(dji + " drone-dji:RelativeAltitude=\"+1\"",
              "<drone-dji:RelativeAltitude>2</drone-dji:RelativeAltitude>"
              "<drone-dji:FlightZSpeed>bad</drone-dji:FlightZSpeed>"
              "<drone-dji:FlightZSpeed>-4</drone-dji:FlightZSpeed>"),
       {{"relativeAltitude", 1}, {"flightZSpeed", -4}},
       ""},
      {"text in pieces: a character reference and a CDATA section",
       packet(dji, "<drone-dji:FlightXSpeed>&#43;1<![CDATA[.2]]>5</drone-dji:FlightXSpeed>"),
       {{"flightXSpeed", 1.25}},
       ""},
      {"a text longer than any number",
       packet(dji,
              "<drone-dji:FlightXSpeed>" + std::string(100, '1') + "</drone-dji:FlightXSpeed>"),
       {},
       ""},
      {"photo sphere and camera schemas",
       packet("xmlns:GPano=\"http://ns.google.com/photos/1.0/panorama/\""
              " xmlns:Camera=\"http://pix4d.com/camera/1.0/\""
              " GPano:PosePitchDegrees=\"-2.5\" Camera:Yaw=\"-167.088455\"",
              "<GPano:ProjectionType> equirectangular </GPano:ProjectionType>"
              "<GPano:PoseHeadingDegrees>0.000000</GPano:PoseHeadingDegrees>"
              "<Camera:Pitch>13.239553</Camera:Pitch><Camera:Roll>0.388475</Camera:Roll>"
              "<Camera:GPSXYAccuracy>5.03</Camera:GPSXYAccuracy>"
              "<Camera:GPSZAccuracy>4.82</Camera:GPSZAccuracy>"),
       {{"posePitch", -2.5},
        {"poseHeading", 0},
        {"cameraYaw", -167.088455},
        {"cameraPitch", 13.239553},
        {"cameraRoll", 0.388475},
        {"gpsXYAccuracy", 5.03},
        {"gpsZAccuracy", 4.82}},
       "equirectangular"},
      {"senseFly's camera namespace",
       packet("xmlns:Camera=\"http://ns.sensefly.com/Camera/1.0/\"",
              "<Camera:Yaw>274.931243896484375</Camera:Yaw>"),
       {{"cameraYaw", 274.931243896484375}},
       ""},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const XmpFacts facts = decode(c.packet);
    EXPECT_EQ(facts.outcome, XmpOutcome::complete);
    expectNumbers(facts, c.numbers);
    EXPECT_EQ(facts.projectionType, c.projectionType);
  }
}

// ------------------------------------------------------------ hostile packets

std::string repeated(const std::string& piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t k = 0; k < times; ++k) out += piece;
  return out;
}

// A packet whose first description holds a field, followed by `rest`.
std::string fieldThen(const std::string& rest) {
  return "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">"
         "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
         "<rdf:Description " +
         kDjiNs + " drone-dji:RelativeAltitude=\"+7.5\"/>" + rest;
}

struct HostileCase {
  const char* name;
  std::string packet;
  XmpOutcome outcome;
  bool keepsTheField;  // the +7.5 of fieldThen, read before the trouble
};

TEST(XmpDecode, HostilePacketsEndWithNoOrPartialFacts) {
  const std::string billionLaughs =
      "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">" +
      std::string("<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">") +
      "<!ENTITY lol2 \"&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;\">"
      "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">"
      "<!ENTITY lol9 \"&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;\">]>" +
      packet(kDjiNs, "<drone-dji:FlightXSpeed>&lol9;</drone-dji:FlightXSpeed>");
  const std::string externalEntity =
      "<!DOCTYPE x [<!ENTITY secret SYSTEM \"file:///etc/passwd\">]>" +
      packet(kDjiNs + " drone-dji:RelativeAltitude=\"&secret;\"");
  const std::string externalDtd =
      "<!DOCTYPE x SYSTEM \"http://example.com/x.dtd\">" + packet(kDjiNs);
  // 10 MB of attributes in one start tag after the field.
  std::string attributes;
  for (int k = 0; attributes.size() < 10'000'000; ++k) {
    attributes += " b" + std::to_string(k) + "=\"v\"";
  }
  const std::string manyAttributes =
      fieldThen("<rdf:Description" + attributes + "/></rdf:RDF></x:xmpmeta>");
  const std::string deepNesting =
      fieldThen(repeated("<a>", 100'000) + repeated("</a>", 100'000) + "</rdf:RDF></x:xmpmeta>");
  // x:xmpmeta and rdf:RDF are two levels.
  const std::string nestedToTheCap =
      fieldThen(repeated("<a>", kMostXmpDepth - 2) + repeated("</a>", kMostXmpDepth - 2) +
                "</rdf:RDF></x:xmpmeta>");
  const HostileCase cases[] = {
      {"billion laughs", billionLaughs, XmpOutcome::refused, false},
      {"an external entity", externalEntity, XmpOutcome::refused, false},
      {"an external document type", externalDtd, XmpOutcome::refused, false},
      {"a document type after the field", fieldThen("<!DOCTYPE x>"), XmpOutcome::malformed, true},
      {"an entity never declared", fieldThen("&lol;</rdf:RDF></x:xmpmeta>"), XmpOutcome::malformed,
       true},
      {"10 MB of attributes", manyAttributes, XmpOutcome::tooLong, true},
      {"100,000 nested elements", deepNesting, XmpOutcome::tooDeep, true},
      {"elements nested as deep as the cap", nestedToTheCap, XmpOutcome::complete, true},
      {"invalid UTF-8 after the field", fieldThen("<a>\xC3\x28</a></rdf:RDF></x:xmpmeta>"),
       XmpOutcome::malformed, true},
      {"an overlong UTF-8 form after the field", fieldThen("<a>\xC0\xAF</a></rdf:RDF></x:xmpmeta>"),
       XmpOutcome::malformed, true},
      {"invalid UTF-8 in the field's own start tag",
       packet(kDjiNs + " drone-dji:RelativeAltitude=\"+7.5\" x=\"\xFF\""), XmpOutcome::malformed,
       false},
      {"cut short after the field", fieldThen("<rdf:Descr"), XmpOutcome::malformed, true},
      {"cut inside the field's start tag",
       "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description " +
           kDjiNs + " drone-dji:RelativeAltitude=\"+7.5\"",
       XmpOutcome::malformed, false},
      // Writers end the segment with a C string's terminator.
      {"zero bytes after the packet", fieldThen("</rdf:RDF></x:xmpmeta>") + std::string(8, '\0'),
       XmpOutcome::complete, true},
      {"a zero byte inside", fieldThen("<a>") + std::string(1, '\0') + "</a></rdf:RDF></x:xmpmeta>",
       XmpOutcome::malformed, true},
      {"a namespace URI holding the separator",
       fieldThen("<p:a xmlns:p=\"urn:\x01x\"/></rdf:RDF></x:xmpmeta>"), XmpOutcome::malformed,
       true},
      {"no bytes", "", XmpOutcome::malformed, false},
  };
  // Each case also through one parser kept from case to case, after a
  // well-formed packet each time, as a reading thread decodes them.
  XmpParser kept;
  const std::string good = packet(kDjiNs + " drone-dji:RelativeAltitude=\"+7.5\"");
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Expected field = c.keepsTheField ? Expected{{"relativeAltitude", 7.5}} : Expected{};
    const XmpFacts facts = decode(c.packet);
    EXPECT_EQ(static_cast<int>(facts.outcome), static_cast<int>(c.outcome));
    expectNumbers(facts, field);
    EXPECT_LE(facts.parserPeakBytes, kMostXmpParserBytes);
    const XmpFacts before = decode(good, kept);
    EXPECT_EQ(before.outcome, XmpOutcome::complete);
    expectNumbers(before, {{"relativeAltitude", 7.5}});
    const XmpFacts again = decode(c.packet, kept);
    EXPECT_EQ(static_cast<int>(again.outcome), static_cast<int>(c.outcome));
    expectNumbers(again, field);
    EXPECT_LE(again.parserPeakBytes, kMostXmpParserBytes);
  }
}

// A kept parser serves packet after packet: the same one, reset, with the
// namespaces and fields of each packet and none of the one before.
TEST(XmpDecode, AKeptParserDecodesEachPacketOnItsOwn) {
  XmpParser kept;
  const XmpFacts first = decode(packet(kDjiNs + " drone-dji:GimbalYawDegree=\"12\""), kept);
  const XML_ParserStruct* const parser = kept.parser;
  ASSERT_NE(parser, nullptr);
  expectNumbers(first, {{"gimbalYaw", 12}});
  // The prefix of the packet before, bound to another URI here.
  const XmpFacts second =
      decode(packet("xmlns:drone-dji=\"urn:other\" drone-dji:GimbalYawDegree=\"5\" " +
                    std::string("xmlns:d=\"") + kDjiUri + "\" d:RelativeAltitude=\"3\""),
             kept);
  EXPECT_EQ(second.outcome, XmpOutcome::complete);
  expectNumbers(second, {{"relativeAltitude", 3}});
  EXPECT_EQ(kept.parser, parser);
}

// A packet of the largest size costs the parser a bounded amount of memory
// (well under the cap), and a longer one is decoded only that far.
TEST(XmpDecode, ALongPacketIsDecodedToTheCapOnly) {
  const std::string head = fieldThen("<rdf:Description");
  const std::string tail = "/></rdf:RDF></x:xmpmeta>";
  std::string fits = head;
  for (int k = 0;; ++k) {
    const std::string attribute = " b" + std::to_string(k) + "=\"v\"";
    if (fits.size() + attribute.size() + tail.size() > kMostXmpPacketBytes) break;
    fits += attribute;
  }
  fits += tail;
  ASSERT_LE(fits.size(), kMostXmpPacketBytes);
  const XmpFacts whole = decode(fits);
  EXPECT_EQ(whole.outcome, XmpOutcome::complete);
  XmpParser kept;
  for (int round = 0; round < 2; ++round) {
    const XmpFacts again = decode(fits, kept);
    EXPECT_EQ(again.outcome, XmpOutcome::complete);
    EXPECT_TRUE(again.relativeAltitude.has);
    EXPECT_LT(again.parserPeakBytes, kMostXmpParserBytes / 2);
  }
  EXPECT_TRUE(whole.relativeAltitude.has);
  EXPECT_GT(whole.parserPeakBytes, 0u);
  EXPECT_LT(whole.parserPeakBytes, kMostXmpParserBytes / 2);

  // The same with one more byte than the cap: the closing tags are past it.
  std::string longer = fits;
  longer.insert(longer.size() - tail.size(),
                std::string(kMostXmpPacketBytes + 1 - fits.size(), ' '));
  ASSERT_EQ(longer.size(), kMostXmpPacketBytes + 1);
  const XmpFacts cut = decode(longer);
  EXPECT_EQ(cut.outcome, XmpOutcome::tooLong);
  EXPECT_TRUE(cut.relativeAltitude.has);
}

// Cut at every length, a camera's packet never gives a value it does not
// hold: each field is either absent or the whole packet's value.
TEST(XmpDecode, APacketCutAnywhereGivesOnlyWholeValues) {
  const std::string whole = packet(
      kDjiNs + " drone-dji:RelativeAltitude=\"+119.80\" drone-dji:GimbalPitchDegree=\"-40.90\"",
      "<drone-dji:FlightXSpeed>+12.5</drone-dji:FlightXSpeed>"
      "<drone-dji:FlightYSpeed>-0.75</drone-dji:FlightYSpeed>");
  const XmpFacts all = decode(whole);
  ASSERT_EQ(all.outcome, XmpOutcome::complete);
  for (std::size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE(length);
    const XmpFacts cut = decode(whole.substr(0, length));
    // The packet's last bytes are the closing processing instruction, after
    // the root element: up to there the XML is complete.
    if (cut.outcome == XmpOutcome::complete) {
      EXPECT_GE(length, whole.rfind("</x:xmpmeta>") + std::strlen("</x:xmpmeta>"));
    }
    for (const NumberField& field : kNumberFields) {
      const XmpNumber& number = cut.*field.member;
      if (number.has) {
        EXPECT_EQ(number.value, (all.*field.member).value) << field.name;
      }
    }
  }
}

}  // namespace
