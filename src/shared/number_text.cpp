#include "number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace pixvue {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The parts of a decimal number found at the start of a text.
struct NumberSpan {
    std::size_t length = 0;  // characters that form the number; 0 when there is none
    bool negative = false;
    long long order = 0;  // decimal order of the first significant digit, for out-of-range
    bool allZero = true;
    bool hex = false;  // 0x or 0X and hexadecimal digits, no fraction or exponent
};

// Finds the longest leading part of `s` that forms a decimal number.
NumberSpan scanNumber(std::string_view s) {
    NumberSpan n;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        n.negative = s[i] == '-';
        ++i;
    }
    if (i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
        hexValue(s[i + 2]) >= 0) {
        n.hex = true;
        i += 2;
        while (i < s.size() && hexValue(s[i]) >= 0) ++i;
        n.length = i;
        return n;
    }
    std::size_t intDigits = 0, fracDigits = 0;
    long long firstNonZero = 0;  // position relative to the decimal point
    bool seenNonZero = false;
    while (i < s.size() && isDigit(s[i])) {
        if (s[i] != '0' && !seenNonZero) seenNonZero = true, firstNonZero = 0;
        if (seenNonZero) ++firstNonZero;
        ++i, ++intDigits;
    }
    if (i < s.size() && s[i] == '.') {
        std::size_t j = i + 1;
        long long pos = 0;
        while (j < s.size() && isDigit(s[j])) {
            --pos;
            if (s[j] != '0' && !seenNonZero) seenNonZero = true, firstNonZero = pos + 1;
            ++j, ++fracDigits;
        }
        if (intDigits + fracDigits > 0) i = j;
    }
    if (intDigits + fracDigits == 0) return n;
    n.allZero = !seenNonZero;
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) expNegative = s[j++] == '-';
        std::size_t expStart = j;
        while (j < s.size() && isDigit(s[j])) {
            if (exponent < 100000000) exponent = exponent * 10 + (s[j] - '0');
            ++j;
        }
        if (j > expStart) {
            i = j;
            if (expNegative) exponent = -exponent;
        } else {
            exponent = 0;
        }
    }
    n.length = i;
    n.order = firstNonZero + exponent;
    return n;
}

// Converts a span found by scanNumber. Overflow gives a signed infinity and underflow a
// signed zero, whatever the standard library reports for them.
double convert(std::string_view s, const NumberSpan& n) {
    if (n.hex) {
        // Past the largest double the product becomes an infinity, as a decimal overflow does.
        double value = 0;
        for (char c : s.substr(s.find_first_of("xX") + 1, n.length)) {
            if (hexValue(c) < 0) break;
            value = value * 16 + hexValue(c);
        }
        return n.negative ? -value : value;
    }
    std::string_view digits = s.substr(0, n.length);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    double value = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        if (n.allZero || n.order <= 0) return n.negative ? -0.0 : 0.0;
        const double inf = std::numeric_limits<double>::infinity();
        return n.negative ? -inf : inf;
    }
    return value;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::optional<double> readStrict(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    const NumberSpan n = scanNumber(text);
    if (n.length == 0 || n.length != text.size()) return std::nullopt;
    const double value = convert(text, n);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

double readLenient(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n') compact.push_back(c);
    const NumberSpan n = scanNumber(compact);
    if (n.length == 0) return 0.0;
    return convert(compact, n);
}

std::optional<std::int32_t> roundToInt32(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double r = std::nearbyint(value);  // the default rounding mode: halves to even
    if (r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
    return static_cast<std::int32_t>(r);
}

std::string writePlain(double value) {
    if (!std::isfinite(value)) return {};
    if (value == 0) return "0";
    // Shortest digits that read back the same; at most 15 significant digits.
    std::array<char, 64> buf{};
    auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific);
    std::string_view sci(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
    auto digitCount = [](std::string_view s) {
        std::size_t count = 0;
        for (char c : s.substr(0, s.find('e')))
            if (isDigit(c)) ++count;
        return count;
    };
    std::string cut;
    if (digitCount(sci) > 15) {
        res = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                            std::chars_format::scientific, 14);
        sci = std::string_view(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
        // Rounding the largest doubles up to 15 digits passes the largest double
        // (1.79769313486232e308), which would read back as infinity: cut the digits instead.
        double back = 0;
        if (std::from_chars(sci.data(), sci.data() + sci.size(), back).ec != std::errc{} ||
            !std::isfinite(back)) {
            res = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                std::chars_format::scientific, 16);
            const std::string_view exact(buf.data(),
                                         static_cast<std::size_t>(res.ptr - buf.data()));
            const std::size_t e = exact.find('e');
            cut = std::string(exact.substr(0, e - 2)) + std::string(exact.substr(e));
            sci = cut;
        }
    }
    // Lay the digits out in positional notation.
    const bool negative = sci.front() == '-';
    if (negative) sci.remove_prefix(1);
    const std::size_t e = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, e))
        if (isDigit(c)) digits.push_back(c);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const int exponent = std::atoi(std::string(sci.substr(e + 1)).c_str());
    std::string out = negative ? "-" : "";
    const long long pointAt = exponent + 1;  // digits before the decimal point
    const auto count = static_cast<long long>(digits.size());
    if (pointAt <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-pointAt), '0');
        out += digits;
    } else if (pointAt >= count) {
        out += digits;
        out.append(static_cast<std::size_t>(pointAt - count), '0');
    } else {
        out += digits.substr(0, static_cast<std::size_t>(pointAt));
        out += '.';
        out += digits.substr(static_cast<std::size_t>(pointAt));
    }
    return out;
}

std::string writeWithBlank(double value) {
    std::string plain = writePlain(value);
    if (plain.empty() || plain.front() == '-') return plain;
    return " " + plain;
}

}  // namespace pixvue
