// Where UTF-8 text is told from other bytes: the readable console, the UTF-8
// report and the HTML page all keep a valid sequence as it is and show any
// other byte by an escape of their own.
#ifndef PHOTOCHECK_CONSOLE_UTF8_TEXT_H
#define PHOTOCHECK_CONSOLE_UTF8_TEXT_H

#include <cstddef>

// Length of the valid UTF-8 sequence at the start of `text` (`left` bytes
// long), or 0 when it does not start one: overlong forms, surrogates and
// code points above U+10FFFF are not valid.
std::size_t utf8SequenceLength(const unsigned char* text, std::size_t left);

#endif  // PHOTOCHECK_CONSOLE_UTF8_TEXT_H
