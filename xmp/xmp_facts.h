// What the XMP packet of a photo says about the flight: the drone's and the
// gimbal's attitude, the heights, the speeds and the RTK state that DJI's
// firmware writes, the panorama fields of Google's photo sphere schema, and
// the camera attitude and GPS accuracy of the Pix4D / senseFly camera schema.
//
// Where the bytes are: a JPEG's XMP packet is the data of an APP1 segment
// whose data begins with "http://ns.adobe.com/xap/1.0/" and a zero byte
// (Adobe's rules for XMP in JPEG files); the packet follows, UTF-8 XML:
//
//   <x:xmpmeta xmlns:x="adobe:ns:meta/">
//    <rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
//     <rdf:Description xmlns:drone-dji="http://www.dji.com/drone-dji/1.0/"
//        drone-dji:RelativeAltitude="+119.80"          attribute form
//        drone-dji:GimbalPitchDegree="-40.90">
//      <drone-dji:FlightXSpeed>+1.2</drone-dji:FlightXSpeed>   element form
//     </rdf:Description>
//    </rdf:RDF>
//   </x:xmpmeta>
//
// A field is known by its namespace URI and local name, never by the prefix a
// writer chose: xmlns:dji="http://www.dji.com/drone-dji/1.0/" with
// dji:RelativeAltitude is the same field, and drone-dji:RelativeAltitude under
// another URI is not it. Fields are taken from the attributes of an
// rdf:Description element and from the text of its child elements; of a
// field given twice the first counts.
//
// The XML is read by expat (xmp/xmp_decode.cc says why that library); the
// decoder is the only code of ours that sees it.
#ifndef PHOTOCHECK_XMP_XMP_FACTS_H
#define PHOTOCHECK_XMP_XMP_FACTS_H

#include <cstddef>
#include <cstdint>
#include <string>

// The most packet bytes decoded: the data of one APP1 segment (at most 65,533
// bytes) less the 29-byte identifier. A longer input is decoded as a packet
// cut after this many bytes. Extended XMP (further segments named
// "http://ns.adobe.com/xmp/extension/") is not read.
inline constexpr std::size_t kMostXmpPacketBytes = 65533 - 29;
// The most text gathered for one element; a number needs a few dozen.
inline constexpr std::size_t kMostXmpTextBytes = 64;
// The deepest element nesting decoded; an XMP packet needs about eight.
inline constexpr int kMostXmpDepth = 64;
// The most memory the XML parser may hold for one packet: a packet of the
// largest size needs a few hundred KiB; an allocation beyond this fails and
// ends the decoding.
inline constexpr std::size_t kMostXmpParserBytes = 2 * 1024 * 1024;

// One number of the packet; `has` is false when the field is absent or its
// text is not a number (see xmp/xmp_number.h).
struct XmpNumber {
  double value = 0;
  bool has = false;
};

// How far the decoding got. Whatever the outcome, the fields read before it
// was known are kept: a value is taken only whole (an attribute once its
// element's start tag has been read to its end, an element's text at its end
// tag), so a packet that breaks off later cannot have cut or changed it.
enum class XmpOutcome {
  complete,   // the whole packet is well-formed XML
  tooLong,    // longer than kMostXmpPacketBytes: decoded as cut there
  refused,    // a document type or entity declaration: decoding stopped there
  malformed,  // not well-formed (cut short, invalid UTF-8, ...): stopped there
  tooDeep,    // nested deeper than kMostXmpDepth: stopped there
  noMemory,   // the parser would have needed more than kMostXmpParserBytes
};

struct XmpFacts {
  // DJI, http://www.dji.com/drone-dji/1.0/: heights in metres (relative to
  // the take-off point, and above sea level), angles in degrees, speeds in
  // metres per second, RtkFlag as written (0 none, 16 single, 34 float,
  // 50 fixed), the RTK standard deviations in metres.
  XmpNumber relativeAltitude;
  XmpNumber absoluteAltitude;
  XmpNumber gimbalPitch;
  XmpNumber gimbalYaw;
  XmpNumber gimbalRoll;
  XmpNumber flightPitch;
  XmpNumber flightYaw;
  XmpNumber flightRoll;
  XmpNumber flightXSpeed;
  XmpNumber flightYSpeed;
  XmpNumber flightZSpeed;
  XmpNumber rtkFlag;
  XmpNumber rtkStdLon;
  XmpNumber rtkStdLat;
  XmpNumber rtkStdHgt;
  // Google photo sphere, http://ns.google.com/photos/1.0/panorama/: the
  // projection as written ("equirectangular", ...; empty when absent or
  // longer than kMostXmpTextBytes), and the pose in degrees.
  std::string projectionType;
  XmpNumber posePitch;
  XmpNumber poseHeading;
  // Camera, http://pix4d.com/camera/1.0/ (Parrot) or its senseFly original
  // http://ns.sensefly.com/Camera/1.0/: attitude in degrees, GPS accuracy in
  // metres.
  XmpNumber cameraPitch;
  XmpNumber cameraYaw;
  XmpNumber cameraRoll;
  XmpNumber gpsXYAccuracy;
  XmpNumber gpsZAccuracy;

  XmpOutcome outcome = XmpOutcome::complete;
  // The most bytes the parser held at once while decoding this packet.
  std::size_t parserPeakBytes = 0;
};

// Decodes the XMP packet of `length` bytes at `data` (after the identifier
// and its zero byte); `data` may be null when `length` is 0. Never throws for
// any bytes (std::bad_alloc aside, for the projection text), never reads
// outside them, fetches nothing and expands no entity.
XmpFacts decodeXmpPacket(const unsigned char* data, std::size_t length);

// expat's parser, kept by XmpParser.
struct XML_ParserStruct;

// One parser for packet after packet, reset between them: making and
// freeing a parser per photo cost more than parsing a drone's packet. Its
// owner decodes one packet at a time, and is an object of a thread's own
// frame or one that frame owns (never a thread_local object). The parser's
// memory is counted here, whichever thread frees it.
struct XmpParser {
  XmpParser() = default;
  XmpParser(const XmpParser&) = delete;
  XmpParser& operator=(const XmpParser&) = delete;
  ~XmpParser();

  XML_ParserStruct* parser = nullptr;  // null until the first packet
  // The salt of the parser's name hashes, drawn once per parser (0: expat
  // draws one per packet, a system call each).
  unsigned long hashSalt = 0;
  std::size_t bytesInUse = 0;
  std::size_t peakBytes = 0;
};

// decodeXmpPacket with the parser `kept` holds (made when it holds none):
// the same facts and outcome for any bytes.
XmpFacts decodeXmpPacket(const unsigned char* data, std::size_t length, XmpParser& kept);

#endif  // PHOTOCHECK_XMP_XMP_FACTS_H
