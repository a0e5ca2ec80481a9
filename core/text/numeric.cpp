#include "text/numeric.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace lithora {

namespace {

// At most this many digits fit an integer below 2^53, which a double holds exactly.
constexpr int kExactDigits = 15;
constexpr double kPowersOfTen[kExactDigits + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

} // namespace

namespace {

struct NumberWalk {
    bool negative = false;
    bool seenDigit = false;
    bool stopped = false; // digit() asked to stop
};

// Walks the number at the start of a text: blanks (space, tab, line feed) are skipped anywhere,
// one sign may come before the digits and the point, the digits may hold one point, and any
// other character ends the number. digit(c) is called for each digit and may answer false to
// stop the walk; point() for the point.
template <typename Digit, typename Point>
NumberWalk walkNumber(std::string_view text, Digit digit, Point point) {
    NumberWalk walk;
    bool seenSign = false;
    bool seenPoint = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n') continue;
        if ((c == '+' || c == '-') && !seenSign && !walk.seenDigit && !seenPoint) {
            seenSign = true;
            walk.negative = c == '-';
        } else if (c >= '0' && c <= '9') {
            walk.seenDigit = true;
            if (!digit(c)) {
                walk.stopped = true;
                break;
            }
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
            point();
        } else {
            break;
        }
    }
    return walk;
}

// The general reading: the digits and point gathered, and converted in full.
float convertedValue(std::string_view text) {
    // The digits gather on the stack unless a number is longer than any real one.
    char small[64];
    std::string large;
    std::size_t count = 0;
    auto push = [&](char c) {
        if (count < sizeof small) {
            small[count] = c;
        } else {
            if (large.empty()) large.assign(small, count);
            large.push_back(c);
        }
        ++count;
    };
    const NumberWalk walk = walkNumber(
        text,
        [&](char c) {
            push(c);
            return true;
        },
        [&] { push('.'); });
    if (!walk.seenDigit) return 0.0f;
    const char* first = count <= sizeof small ? small : large.data();
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(first, first + count, value);
    (void)ptr;
    if (ec != std::errc() || !std::isfinite(value) ||
        value > static_cast<double>(std::numeric_limits<float>::max())) {
        return 0.0f;
    }
    const auto single = static_cast<float>(value);
    return walk.negative ? -single : single;
}

} // namespace

float numericValue(std::string_view text) {
    // The searches read this for thousands of fields: the digits are kept as an integer while
    // they are few, and only a longer number takes the general reading.
    std::uint64_t mantissa = 0;
    int digits = 0;
    int decimals = 0;
    bool afterPoint = false;
    const NumberWalk walk = walkNumber(
        text,
        [&](char c) {
            if (++digits > kExactDigits) return false;
            mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
            if (afterPoint) ++decimals;
            return true;
        },
        [&] { afterPoint = true; });
    if (walk.stopped) return convertedValue(text);
    if (!walk.seenDigit) return 0.0f;
    // Both the integer and the power of ten are exact doubles, so their quotient is the
    // correctly rounded value, as the general reading gives it.
    const auto single = static_cast<float>(static_cast<double>(mantissa) / kPowersOfTen[decimals]);
    return walk.negative ? -single : single;
}

namespace {

// Rounds a plain decimal text ("123.4567", no sign, no exponent, under 400 characters) to
// maxDecimals, half away from zero, and trims zeros beyond minDecimals. Works on one digit
// buffer on the stack with the point implied; its first place is kept for a carry.
std::string roundDecimalText(std::string_view text, bool negative, int minDecimals, int maxDecimals,
                             char separator) {
    char buffer[402];
    char* digits = buffer + 1;
    const std::size_t point = std::min(text.find('.'), text.size());
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size() && count < sizeof buffer - 1; ++i) {
        if (i != point) digits[count++] = text[i];
    }
    std::size_t intDigits = point;

    const std::size_t keep = intDigits + static_cast<std::size_t>(maxDecimals);
    if (count > keep) {
        const bool roundUp = digits[keep] >= '5';
        count = keep;
        std::size_t i = keep;
        while (roundUp && i > 0) {
            --i;
            if (digits[i] == '9') {
                digits[i] = '0';
                if (i == 0) {
                    *--digits = '1';
                    ++count;
                    ++intDigits;
                }
            } else {
                ++digits[i];
                break;
            }
        }
    }
    std::size_t fracDigits = count - intDigits;
    while (fracDigits > static_cast<std::size_t>(minDecimals) && digits[count - 1] == '0') {
        --count;
        --fracDigits;
    }
    std::size_t firstInt = 0;
    while (firstInt + 1 < intDigits && digits[firstInt] == '0')
        ++firstInt;

    std::string out;
    if (negative && !std::all_of(digits, digits + count, [](char c) { return c == '0'; }))
        out.push_back('-');
    if (intDigits == 0) out.push_back('0');
    out.append(digits + firstInt, digits + intDigits);
    if (fracDigits > 0 || minDecimals > 0) {
        out.push_back(separator);
        out.append(digits + intDigits, digits + count);
        out.append(static_cast<std::size_t>(minDecimals) -
                       std::min<std::size_t>(fracDigits, static_cast<std::size_t>(minDecimals)),
                   '0');
    }
    return out;
}

template <typename T>
std::string formatShortest(T value, int minDecimals, int maxDecimals, char separator) {
    if (!std::isfinite(value)) return std::string();
    char buffer[400];
    const bool negative = value < 0;
    const T magnitude = negative ? -value : value;
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed);
    if (ec != std::errc()) return std::string();
    return roundDecimalText(std::string_view(buffer, static_cast<std::size_t>(end - buffer)),
                            negative, minDecimals, maxDecimals, separator);
}

} // namespace

std::string formatNumber(float value, int minDecimals, int maxDecimals, char separator) {
    return formatShortest(value, minDecimals, maxDecimals, separator);
}

std::string formatNumber(double value, int minDecimals, int maxDecimals, char separator) {
    return formatShortest(value, minDecimals, maxDecimals, separator);
}

} // namespace lithora
