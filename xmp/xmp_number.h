// The numbers of an XMP packet as XML Schema writes a decimal or a double
// (XML Schema Datatypes 1.1, 3.3.3 and 3.3.5) less its special values: an optional
// sign, digits with at most one point, an optional exponent, blanks around.
// "+119.80", "-0.5", ".5", "2.", "1.5e-3" are numbers; "0x1A", "inf", "nan",
// "1,5", "12 m", "" and "+" are not. Read the same way whatever the C
// locale says.
#ifndef PHOTOCHECK_XMP_XMP_NUMBER_H
#define PHOTOCHECK_XMP_XMP_NUMBER_H

#include <cstddef>

// True, with the value in `value`, when the `length` bytes at `text` are one
// such number whose value is finite and representable (no overflow to
// infinity, no underflow).
bool parseXmpNumber(const char* text, std::size_t length, double& value);

#endif  // PHOTOCHECK_XMP_XMP_NUMBER_H
