// The three input fields hold text; commands move between text and numbers with these
// conversions. None of them depends on the C locale, so a desktop set to a decimal comma
// reads and writes the same texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixvue {

// The whole text, blanks and tabs around it aside, must be one decimal number: an optional
// sign, digits with an optional fraction (at least one digit in all), an optional exponent; or
// an optional sign, 0x or 0X and hexadecimal digits. Anything else fails, and so does a number
// too large for a double.
std::optional<double> readStrict(std::string_view text);

// Blanks, tabs and line feeds anywhere are skipped; the value is the longest leading part that
// forms a number (0x or 0X and hexadecimal digits read as hexadecimal), 0 when there is none.
// Never fails; a number too large for a double reads as an infinity, which callers must treat
// as unusable.
double readLenient(std::string_view text);

// Rounds to the nearest integer, halves to the even neighbour; empty when the result lies
// outside the signed 32-bit range (or the value is not finite).
std::optional<std::int32_t> roundToInt32(double value);

// Writes a finite number without exponent: whole numbers as their digits, others in the
// shortest form that reads back to the same double, cut to at most 15 significant digits.
// Negative numbers carry a minus sign; nothing else is added.
std::string writePlain(double value);

// As writePlain, with one leading blank before zero and positive numbers.
std::string writeWithBlank(double value);

}  // namespace pixvue
