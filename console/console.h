// Standard output, the tool's only channel. Texts go out as the bytes they
// hold; numbers in plain decimal (the stream keeps the classic locale, so no
// digit grouping whatever the user's locale); every line end is a line feed
// followed by a flush, so a caller reading the output line by line sees each
// line as soon as it is made.
#ifndef PHOTOCHECK_CONSOLE_CONSOLE_H
#define PHOTOCHECK_CONSOLE_CONSOLE_H

#include <cstdint>
#include <iostream>
#include <string_view>

namespace console {

inline void write(std::string_view text) {
  std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
}

inline void write(std::uint64_t number) { std::cout << number; }

inline void endLine() { std::cout << '\n' << std::flush; }

inline void line(std::string_view text) {
  write(text);
  endLine();
}

}  // namespace console

#endif  // PHOTOCHECK_CONSOLE_CONSOLE_H
