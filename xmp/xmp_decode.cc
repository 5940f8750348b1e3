// The XMP packet decoder over expat.
//
// Why expat: XMP binds its names to namespace URIs, and expat's
// namespace-aware parser (XML_ParserCreateNS) hands every element and
// attribute name over as its URI and local name, so a field is found by URI
// whatever prefix the writer chose. It streams (callbacks, no tree: the
// decoder keeps a few dozen bytes of its own), it is a small C library with
// a long record of hardening against hostile documents, Debian ships it
// (libexpat1-dev, with a static library) and its source package builds with
// mingw-w64 and CMake for the Windows executable (scripts/windows-deps.sh).
//
// What a hostile packet can cost: the parser sees at most
// kMostXmpPacketBytes, in one call (so no token is parsed twice); a document
// type declaration stops it at once, before any entity could be declared, so
// no entity is ever expanded and nothing outside the packet is ever read
// (parameter entities are off too, and no external entity is loaded); its
// memory comes from an allocator that refuses more than kMostXmpParserBytes;
// the element nesting is cut at kMostXmpDepth and the text gathered per
// element at kMostXmpTextBytes.

#include <expat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <type_traits>

#include "xmp/xmp_facts.h"
#include "xmp/xmp_fields.h"
#include "xmp/xmp_number.h"

namespace {

// Between a namespace URI and a local name in the names expat hands over. A
// control character cannot appear in an XML 1.0 document, so no URI holds it
// (expat also refuses a URI that holds the separator).
constexpr char kSeparator = '\x01';

constexpr char kRdfDescription[] =
    "http://www.w3.org/1999/02/22-rdf-syntax-ns#\x01"
    "Description";

// ------------------------------------------------------------ parser memory
// The memory of the parser at work on this thread: expat's allocator calls
// take no context, and a thread works one parser at a time.
thread_local XmpParser* counted = nullptr;
static_assert(std::is_trivially_destructible_v<XmpParser*>);

// Each block carries its size in front, in a header that keeps the caller's
// part aligned as malloc's own blocks are.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* parserMalloc(std::size_t size) {
  if (size > kMostXmpParserBytes - counted->bytesInUse) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(kHeader + size));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof size);
  counted->bytesInUse += size;
  if (counted->bytesInUse > counted->peakBytes) counted->peakBytes = counted->bytesInUse;
  return block + kHeader;
}

void parserFree(void* pointer) {
  if (pointer == nullptr) return;
  unsigned char* block = static_cast<unsigned char*>(pointer) - kHeader;
  std::size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  counted->bytesInUse -= size;
  std::free(block);
}

void* parserRealloc(void* pointer, std::size_t size) {
  if (pointer == nullptr) return parserMalloc(size);
  unsigned char* block = static_cast<unsigned char*>(pointer) - kHeader;
  std::size_t old = 0;
  std::memcpy(&old, block, sizeof old);
  // inUse - old is what the other blocks hold.
  if (size > kMostXmpParserBytes - (counted->bytesInUse - old)) return nullptr;
  auto* grown = static_cast<unsigned char*>(std::realloc(block, kHeader + size));
  if (grown == nullptr) return nullptr;
  std::memcpy(grown, &size, sizeof size);
  counted->bytesInUse = counted->bytesInUse - old + size;
  if (counted->bytesInUse > counted->peakBytes) counted->peakBytes = counted->bytesInUse;
  return grown + kHeader;
}

// ------------------------------------------------------------ the decoding
struct Decoding {
  XML_Parser parser = nullptr;
  XmpFacts facts;
  // A handler stopped the parser, with facts.outcome set.
  bool stopped = false;
  // The open elements: the root is at depth 1.
  int depth = 0;
  // Whether the open element at each depth is an rdf:Description.
  bool description[kMostXmpDepth + 1] = {};
  // The field whose element text is being gathered (at gatherDepth), or null.
  const XmpField* gathering = nullptr;
  int gatherDepth = 0;
  char text[kMostXmpTextBytes] = {};
  std::size_t textLength = 0;
  bool textTooLong = false;
};

void stop(Decoding& d, XmpOutcome outcome) {
  d.facts.outcome = outcome;
  d.stopped = true;
  XML_StopParser(d.parser, XML_FALSE);
}

// The row for an expanded name "URI<separator>local", or null. A name without
// a namespace has no separator and sets no field.
const XmpField* fieldOf(const XML_Char* name) {
  const char* separator = std::strchr(name, kSeparator);
  if (separator == nullptr) return nullptr;
  return findXmpField(name, static_cast<std::size_t>(separator - name), separator + 1);
}

bool alreadySet(const Decoding& d, const XmpField& field) {
  if (field.number != nullptr) return (d.facts.*field.number).has;
  return !(d.facts.*field.text).empty();
}

// Sets `field` from the `length` bytes of `text`, unless it is set already
// (the first value counts) or the text is no value of its kind.
void take(Decoding& d, const XmpField& field, const char* text, std::size_t length) {
  if (alreadySet(d, field)) return;
  if (field.number != nullptr) {
    XmpNumber& number = d.facts.*field.number;
    number.has = parseXmpNumber(text, length, number.value);
    return;
  }
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (length > 0 && blank(*text)) ++text, --length;
  while (length > 0 && blank(text[length - 1])) --length;
  if (length <= kMostXmpTextBytes) (d.facts.*field.text).assign(text, length);
}

void XMLCALL onStart(void* context, const XML_Char* name, const XML_Char** attributes) {
  Decoding& d = *static_cast<Decoding*>(context);
  if (d.stopped) return;
  if (++d.depth > kMostXmpDepth) {
    stop(d, XmpOutcome::tooDeep);
    return;
  }
  // An element inside a field's element: the field holds a structure, not a
  // simple value.
  d.gathering = nullptr;
  const bool isDescription = std::strcmp(name, kRdfDescription) == 0;
  d.description[d.depth] = isDescription;
  if (isDescription) {
    for (const XML_Char** at = attributes; at[0] != nullptr; at += 2) {
      if (const XmpField* field = fieldOf(at[0])) take(d, *field, at[1], std::strlen(at[1]));
    }
    return;
  }
  if (!d.description[d.depth - 1]) return;
  const XmpField* field = fieldOf(name);
  if (field == nullptr || alreadySet(d, *field)) return;
  d.gathering = field;
  d.gatherDepth = d.depth;
  d.textLength = 0;
  d.textTooLong = false;
}

void XMLCALL onEnd(void* context, const XML_Char*) {
  Decoding& d = *static_cast<Decoding*>(context);
  if (d.stopped) return;
  if (d.gathering != nullptr && d.depth == d.gatherDepth) {
    if (!d.textTooLong) take(d, *d.gathering, d.text, d.textLength);
    d.gathering = nullptr;
  }
  --d.depth;
}

void XMLCALL onText(void* context, const XML_Char* text, int length) {
  Decoding& d = *static_cast<Decoding*>(context);
  if (d.stopped || d.gathering == nullptr || d.textTooLong) return;
  const auto n = static_cast<std::size_t>(length);
  if (n > kMostXmpTextBytes - d.textLength) {
    d.textTooLong = true;
    return;
  }
  std::memcpy(d.text + d.textLength, text, n);
  d.textLength += n;
}

void XMLCALL onDoctype(void* context, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  stop(*static_cast<Decoding*>(context), XmpOutcome::refused);
}

void XMLCALL onEntityDeclaration(void* context, const XML_Char*, int, const XML_Char*, int,
                                 const XML_Char*, const XML_Char*, const XML_Char*,
                                 const XML_Char*) {
  stop(*static_cast<Decoding*>(context), XmpOutcome::refused);
}

// Never loads an external entity: returning an error makes the parse fail.
int XMLCALL onExternalEntity(XML_Parser, const XML_Char*, const XML_Char*, const XML_Char*,
                             const XML_Char*) {
  return XML_STATUS_ERROR;
}

// ------------------------------------------------------------ the kept parser
// A reset parser keeps some blocks of its earlier packets (name pools, hash
// tables), counted in its bytesInUse like all its memory, so it never holds
// less than a new one would at the same point of a packet: a packet it
// decodes within kMostXmpParserBytes a new parser decodes too. A packet that
// runs out of memory in a kept parser is decoded again in a new one, whose
// verdict counts; a parser left holding more than kMostKeptParserBytes after
// its reset is freed instead of kept.
constexpr std::size_t kMostKeptParserBytes = 256 * 1024;

// A random salt for a parser's name hashes, or 0 when there is no source of
// randomness (expat then draws its own).
unsigned long drawnSalt() {
  try {
    std::random_device device;
    const unsigned long salt =
        (static_cast<unsigned long>(device()) << 16 << 16) ^ static_cast<unsigned long>(device());
    return salt;
  } catch (const std::exception&) {
    return 0;
  }
}

// Expat 2.8 takes the salt as 16 bytes and deprecates the one-word call;
// the word's 64 bits of secret are as many as the older call took.
void setSalt(XML_Parser parser, unsigned long salt) {
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 8)
  std::uint8_t entropy[16] = {};
  std::memcpy(entropy, &salt, sizeof salt);
  XML_SetHashSalt16Bytes(parser, entropy);
#else
  XML_SetHashSalt(parser, salt);
#endif
}

void freeParser(XmpParser& kept) {
  XmpParser* const before = counted;
  counted = &kept;
  XML_ParserFree(kept.parser);
  counted = before;
  kept.parser = nullptr;
}

// `kept`'s parser, reset, or a new one (null when there is no memory), with
// `counted` pointing at `kept`.
XML_Parser parserForPacket(XmpParser& kept, bool fresh) {
  counted = &kept;
  if (kept.parser != nullptr && (fresh || XML_ParserReset(kept.parser, "UTF-8") != XML_TRUE ||
                                 kept.bytesInUse > kMostKeptParserBytes)) {
    freeParser(kept);
    counted = &kept;
  }
  if (kept.parser == nullptr) {
    kept.bytesInUse = 0;
    const XML_Memory_Handling_Suite memory = {parserMalloc, parserRealloc, parserFree};
    // The packet's encoding is UTF-8 whatever its declaration says.
    const XML_Char separator[] = {kSeparator, 0};
    kept.peakBytes = 0;
    kept.parser = XML_ParserCreate_MM("UTF-8", &memory, separator);
    kept.hashSalt = drawnSalt();
  }
  // A reset forgets the salt; it stays a secret of this parser all the same,
  // as no packet sees the hashes.
  if (kept.parser != nullptr && kept.hashSalt != 0) setSalt(kept.parser, kept.hashSalt);
  kept.peakBytes = kept.bytesInUse;
  return kept.parser;
}

// Decodes the packet's first `decoded` bytes; a reset clears every handler
// and setting, so each is set again.
void decodeWith(Decoding& d, const unsigned char* data, std::size_t decoded, XmpParser& kept,
                bool fresh) {
  d.parser = parserForPacket(kept, fresh);
  if (d.parser == nullptr) {
    d.facts.outcome = XmpOutcome::noMemory;
    counted = nullptr;
    return;
  }
  XML_SetUserData(d.parser, &d);
  XML_SetElementHandler(d.parser, onStart, onEnd);
  XML_SetCharacterDataHandler(d.parser, onText);
  XML_SetStartDoctypeDeclHandler(d.parser, onDoctype);
  XML_SetEntityDeclHandler(d.parser, onEntityDeclaration);
  XML_SetExternalEntityRefHandler(d.parser, onExternalEntity);
  XML_SetParamEntityParsing(d.parser, XML_PARAM_ENTITY_PARSING_NEVER);

  // decoded <= kMostXmpPacketBytes, so it fits an int.
  const XML_Status status =
      XML_Parse(d.parser, reinterpret_cast<const char*>(data), static_cast<int>(decoded), XML_TRUE);
  if (status != XML_STATUS_OK && !d.stopped) {
    d.facts.outcome = XML_GetErrorCode(d.parser) == XML_ERROR_NO_MEMORY ? XmpOutcome::noMemory
                                                                        : XmpOutcome::malformed;
  }
  d.facts.parserPeakBytes = kept.peakBytes;
  counted = nullptr;
}

}  // namespace

XmpParser::~XmpParser() {
  if (parser != nullptr) freeParser(*this);
}

XmpFacts decodeXmpPacket(const unsigned char* data, std::size_t length, XmpParser& kept) {
  const bool tooLong = length > kMostXmpPacketBytes;
  std::size_t decoded = tooLong ? kMostXmpPacketBytes : length;
  // Deliberate: zero bytes at the end are dropped. Writers end the segment
  // with a C string's terminator (Parrot's and Samsung's cameras), which XML
  // does not allow after the packet's trailer.
  while (decoded > 0 && data[decoded - 1] == 0) --decoded;

  const bool reused = kept.parser != nullptr;
  Decoding d;
  decodeWith(d, data, decoded, kept, false);
  if (reused && d.facts.outcome == XmpOutcome::noMemory) {
    d = Decoding();
    decodeWith(d, data, decoded, kept, true);
  }
  if (tooLong &&
      (d.facts.outcome == XmpOutcome::complete || d.facts.outcome == XmpOutcome::malformed)) {
    d.facts.outcome = XmpOutcome::tooLong;
  }
  return d.facts;
}

XmpFacts decodeXmpPacket(const unsigned char* data, std::size_t length) {
  XmpParser parser;
  return decodeXmpPacket(data, length, parser);
}
