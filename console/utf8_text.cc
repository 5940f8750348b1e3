#include "console/utf8_text.h"

namespace {

bool continuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
  return byte >= low && byte <= high;
}

}  // namespace

std::size_t utf8SequenceLength(const unsigned char* text, std::size_t left) {
  const unsigned char lead = text[0];
  if (lead < 0x80) return 1;
  // The second byte's range depends on the lead byte (no overlong form, no
  // surrogate, nothing above U+10FFFF); the later ones are any continuation.
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (left < length || !continuation(text[1], low, high)) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!continuation(text[i])) return 0;
  }
  return length;
}
