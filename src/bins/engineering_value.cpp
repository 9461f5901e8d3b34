// SPDX-License-Identifier: MIT
#include "bins/engineering_value.h"

#include "bins/byte_vectors.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <system_error>

namespace tarvex {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// from_chars leaves the value alone on a range error; decide from the text whether the number was
// too large (strtod gives HUGE_VAL) or too small (strtod gives 0). Only the order of magnitude
// matters, since a range error needs an exponent beyond ±300.
bool Overflows(std::string_view number, bool hex) {
    const char exponentMark = hex ? 'p' : 'e';
    const std::int64_t digitWeight = hex ? 4 : 1;
    std::size_t i = 0;
    std::int64_t magnitude = 0;
    bool seenNonZero = false;
    bool seenPoint = false;
    for (; i < number.size(); ++i) {
        const char c = number[i];
        if (c == '.') {
            seenPoint = true;
            continue;
        }
        if (!(hex ? IsHexDigit(c) : IsDigit(c))) {
            break;
        }
        if (c != '0') {
            seenNonZero = true;
        }
        if (!seenPoint && seenNonZero) {
            magnitude += digitWeight;
        } else if (seenPoint && !seenNonZero) {
            magnitude -= digitWeight;
        }
    }
    if (i < number.size() && ToUpperAscii(number[i]) == ToUpperAscii(exponentMark)) {
        ++i;
        bool negative = false;
        if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
            negative = number[i] == '-';
            ++i;
        }
        std::int64_t exponent = 0;
        for (; i < number.size() && IsDigit(number[i]); ++i) {
            if (exponent < 1'000'000'000) {
                exponent = exponent * 10 + (number[i] - '0');
            }
        }
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude > 0;
}

constexpr std::uint64_t kPowersOfTenInteger[] = {1,
                                                 10,
                                                 100,
                                                 1000,
                                                 10000,
                                                 100000,
                                                 1000000,
                                                 10000000,
                                                 100000000,
                                                 1000000000,
                                                 10000000000,
                                                 100000000000,
                                                 1000000000000,
                                                 10000000000000,
                                                 100000000000000,
                                                 1000000000000000,
                                                 10000000000000000,
                                                 100000000000000000,
                                                 1000000000000000000,
                                                 10000000000000000000ULL};

constexpr double kPowersOfTenDouble[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

// The eight digit values in the bytes of lanes (the first, most significant, in the lowest byte)
// as a number: pairs, then fours, then eights of digits are combined by multiplication.
std::uint64_t EightDigits(std::uint64_t lanes) {
    lanes = lanes * 10 + (lanes >> 8);
    return (((lanes & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
            (((lanes >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
           32;
}

// Reads the decimal digits at p (moving p past them) and returns their value, which is only
// meaningful for up to 19 digits. Eight bytes are looked at together: the number of leading digits
// and their value come from a few word operations instead of a loop whose length the branch
// predictor cannot guess.
std::uint64_t ReadDigits(const char*& p, const char* end) {
    std::uint64_t value = 0;
    for (;;) {
        const auto available = static_cast<std::size_t>(end - p);
        if (available == 0) {
            return value;
        }
        std::uint64_t word = 0;
        if (available >= 8) {
            std::memcpy(&word, p, 8);
        } else {
            for (std::size_t i = 0; i < available; ++i) {
                word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
            }
        }
        if constexpr (std::endian::native == std::endian::big) {
            if (available >= 8) {
                word = __builtin_bswap64(word);
            }
        }
        // A byte is a digit when its high nibble is 3 and adding 6 leaves it there. A carry out of a
        // byte comes only from a non-digit, so it cannot disturb the digits before it.
        constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL;
        constexpr std::uint64_t kThrees = 0x3030303030303030ULL;
        const std::uint64_t notDigit =
            ((word & kHigh) ^ kThrees) | (((word + 0x0606060606060606ULL) & kHigh) ^ kThrees);
        const auto count = std::min<std::size_t>(
            notDigit == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(notDigit)) / 8, available);
        if (count == 0) {
            return value;
        }
        // The digits, less '0', moved to the top bytes so that the bytes below read as leading
        // zeros.
        std::uint64_t lanes = word - kThrees;
        if (count < 8) {
            lanes = (lanes & ((std::uint64_t{1} << (8 * count)) - 1)) << (8 * (8 - count));
        }
        value = value * kPowersOfTenInteger[count] + EightDigits(lanes);
        p += count;
        if (count < 8) {
            return value;
        }
    }
}

struct SimpleDecimal {
    double value;
    std::size_t length; // bytes of text that make up the number
};

// Plain decimals whose digits form an integer below 2^53 and whose decimal exponent lies within
// ±22, which is nearly every size in a netlist: the digits and the power of ten are both exact
// doubles, so one multiplication or division rounds exactly as strtod does (Clinger's fast path).
// Anything else (long mantissas, big exponents, hex, inf, nan, no digits) returns nothing and
// takes the full parser.
std::optional<SimpleDecimal> ParseSimpleDecimal(std::string_view text) {
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
    std::uint64_t mantissa = ReadDigits(p, end);
    std::ptrdiff_t digits = p - begin;
    std::ptrdiff_t exponent = 0;
    if (p < end && *p == '.') {
        const char* const fraction = ++p;
        const std::uint64_t fractionDigits = ReadDigits(p, end);
        exponent = fraction - p;
        digits += p - fraction;
        // Up to 19 digits the sum fits; more are refused just below.
        mantissa =
            mantissa * kPowersOfTenInteger[std::min<std::ptrdiff_t>(p - fraction, 19)] + fractionDigits;
    }
    // 19 digits cannot overflow the accumulator; the 2^53 limit below is the real one.
    if (digits == 0 || digits > 19) {
        return std::nullopt;
    }
    if (p + 1 < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        const bool negative = *q == '-';
        if (*q == '+' || *q == '-') {
            ++q;
        }
        if (q < end && IsDigit(*q)) {
            long written = 0;
            for (; q < end && IsDigit(*q); ++q) {
                if (written > 1000) {
                    return std::nullopt;
                }
                written = written * 10 + (*q - '0');
            }
            exponent += negative ? -written : written;
            p = q;
        }
    }
    const auto length = static_cast<std::size_t>(p - begin);
    if (mantissa == 0) {
        return SimpleDecimal{0.0, length};
    }
    if (mantissa > (std::uint64_t{1} << 53) || exponent < -22 || exponent > 22) {
        return std::nullopt;
    }
    const auto value = static_cast<double>(mantissa);
    return SimpleDecimal{exponent < 0 ? value / kPowersOfTen[-exponent] : value * kPowersOfTen[exponent],
                         length};
}

struct CommonToken {
    double value;
    std::size_t numberEnd; // where the suffix letters start
    std::size_t suffixEnd; // the first space or NUL after them, or the end of the token
};

// The value of the count (at most 8) digits at p, which has 8 bytes to read: the bytes after
// them are shifted out, the digits into the top bytes so that the bytes below read as leading zeros.
std::uint64_t DigitsAt(const char* p, std::size_t count) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, 8);
    if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap64(word);
    }
    const std::uint64_t lanes = count == 0 ? 0 : (word ^ 0x3030303030303030ULL) << (8 * (8 - count));
    return EightDigits(lanes);
}

// The usual netlist token, read from its first sixteen bytes without a loop over its digits: an
// unsigned plain decimal of at most 8 + 8 digits without exponent ("0.35", "2", ".5"), then suffix
// letters up to a space or NUL. Nothing for any other token, which the digit-by-digit path reads.
// The value is the one ParseSimpleDecimal gives: the digits as one exact integer divided by an exact
// power of ten.
std::optional<CommonToken> ReadCommonToken(std::string_view token) {
    using vectors::BitMask;
    using vectors::Splat;
    // A shorter token reads as if NUL-padded, and a NUL ends it anyway. The digits are read eight
    // bytes at a time from anywhere in the first sixteen.
    char bytes[16 + 8] = {};
    if (token.size() >= 16) {
        std::memcpy(bytes, token.data(), 16);
    } else {
        std::memcpy(bytes, token.data(), token.size());
    }
    const vectors::Bytes16 v = vectors::Load(bytes);
    const unsigned digit = BitMask((v >= Splat('0')) & (v <= Splat('9')));
    const unsigned stop = BitMask((v == Splat(' ')) | (v == Splat('\0')));

    const auto integerDigits = static_cast<std::size_t>(std::countr_one(digit));
    if (integerDigits > 8) {
        return std::nullopt;
    }
    std::size_t fractionDigits = 0;
    std::size_t numberEnd = integerDigits;
    if (bytes[integerDigits] == '.') {
        fractionDigits = static_cast<std::size_t>(std::countr_one(digit >> (integerDigits + 1)));
        numberEnd = integerDigits + 1 + fractionDigits;
    }
    if (integerDigits + fractionDigits == 0 || fractionDigits > 8 || numberEnd >= 16 ||
        bytes[numberEnd] == 'e' || bytes[numberEnd] == 'E') {
        return std::nullopt;
    }
    const std::uint64_t mantissa = DigitsAt(bytes, integerDigits) * kPowersOfTenInteger[fractionDigits] +
                                   DigitsAt(bytes + integerDigits + 1, fractionDigits);

    const unsigned stopsAfter = stop >> numberEnd << numberEnd;
    std::size_t suffixEnd = stopsAfter != 0 ? static_cast<std::size_t>(std::countr_zero(stopsAfter)) : 16;
    while (suffixEnd < token.size() && token[suffixEnd] != ' ' && token[suffixEnd] != '\0') {
        ++suffixEnd;
    }
    const double value =
        mantissa == 0 ? 0.0 : static_cast<double>(mantissa) / kPowersOfTenDouble[fractionDigits];
    return CommonToken{value, numberEnd, std::min(suffixEnd, token.size())};
}

// Parses an unsigned number (no sign left in front of it) in the given format; nothing when the
// text does not start with one.
std::optional<double> ParseUnsigned(std::string_view text, std::chars_format format) {
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return std::nullopt;
    }
    if (format == std::chars_format::general) {
        if (const std::optional<SimpleDecimal> simple = ParseSimpleDecimal(text)) {
            return simple->value;
        }
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, format);
    if (ec == std::errc::result_out_of_range) {
        const std::string_view matched(text.data(), static_cast<std::size_t>(end - text.data()));
        return Overflows(matched, format == std::chars_format::hex) ? HUGE_VAL : 0.0;
    }
    if (ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

bool ContainsMeg(std::string_view text) {
    for (std::size_t i = 0; i + 3 <= text.size(); ++i) {
        if (ToUpperAscii(text[i]) == 'M' && ToUpperAscii(text[i + 1]) == 'E' &&
            ToUpperAscii(text[i + 2]) == 'G') {
            return true;
        }
    }
    return false;
}

// Suffix letters in the order their factors apply; each byte of the table holds the bit of its
// letter (either case), so one pass over the text collects every letter present.
constexpr char kSuffixLetters[] = "TGKMUNPF";
constexpr double kSuffixFactors[] = {1e12, 1e9, 1e3, 1e-3, 1e-6, 1e-9, 1e-12, 1e-15};
constexpr unsigned kMilliBit = 1u << 3;

constexpr std::array<std::uint8_t, 256> kSuffixBits = [] {
    std::array<std::uint8_t, 256> bits{};
    for (unsigned i = 0; i < 8; ++i) {
        const auto upper = static_cast<unsigned char>(kSuffixLetters[i]);
        bits[upper] = static_cast<std::uint8_t>(1u << i);
        bits[upper + ('a' - 'A')] = static_cast<std::uint8_t>(1u << i);
    }
    return bits;
}();

// Applies the scale suffixes found anywhere in text (compared without regard to ASCII case):
// "MEG" alone, or else each letter once, in the fixed order, multiplying step by step so that the
// rounding is the same as applying them one after another.
double ApplySuffixes(double value, std::string_view text) {
    unsigned seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        seen |= kSuffixBits[static_cast<unsigned char>(text[i])];
    }
    if ((seen & kMilliBit) && ContainsMeg(text)) {
        return value * 1e6;
    }
    while (seen != 0) {
        value *= kSuffixFactors[std::countr_zero(seen)];
        seen &= seen - 1;
    }
    return value;
}

// The hex number after "0x", cut where strtod would stop but from_chars would not: empty without
// a hex digit ("0xinf" is 0 to strtod, not infinity), and cut before a 'p' that does not start a
// valid binary exponent ("0x2p+-1" is 2).
std::string_view HexNumberText(std::string_view text) {
    std::size_t i = 0;
    bool anyDigit = false;
    while (i < text.size() && (IsHexDigit(text[i]) || text[i] == '.')) {
        anyDigit = anyDigit || text[i] != '.';
        ++i;
    }
    if (!anyDigit) {
        return {};
    }
    if (i < text.size() && (text[i] == 'p' || text[i] == 'P')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j >= text.size() || !IsDigit(text[j])) {
            return text.substr(0, i);
        }
    }
    return text;
}

// The atof reading of text, which holds no NUL.
double ParseLeading(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::string_view rest = text.substr(i);
    std::optional<double> magnitude;
    if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        // "0x" without hex digits after it reads as the number 0, as strtod does.
        magnitude = ParseUnsigned(HexNumberText(rest.substr(2)), std::chars_format::hex).value_or(0.0);
    } else {
        magnitude = ParseUnsigned(rest, std::chars_format::general);
    }
    // Without a number nothing was converted, and atof returns a plain 0 whatever the sign said.
    if (!magnitude) {
        return 0.0;
    }
    return negative ? -*magnitude : *magnitude;
}

// ParseNetlistValue of a token the sixteen-byte reading leaves: the digit-by-digit path, then the
// full parser.
double ParseOtherToken(std::string_view token) {
    // An unsigned plain decimal at the very start holds no suffix letter, so only the bytes after
    // it up to the first space or NUL need to be looked at.
    const bool hex = token.size() > 1 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X');
    if (!token.empty() && !hex && (IsDigit(token[0]) || token[0] == '.')) {
        if (const std::optional<SimpleDecimal> simple = ParseSimpleDecimal(token)) {
            std::size_t end = simple->length;
            while (end < token.size() && token[end] != ' ' && token[end] != '\0') {
                ++end;
            }
            return ApplySuffixes(simple->value, token.substr(simple->length, end - simple->length));
        }
    }
    // One pass finds where the C string ends (NUL) and where the examined text ends (first space).
    std::size_t end = 0;
    std::size_t cut = std::string_view::npos;
    for (; end < token.size() && token[end] != '\0'; ++end) {
        if (token[end] == ' ' && cut == std::string_view::npos) {
            cut = end;
        }
    }
    token = token.substr(0, end);
    return ApplySuffixes(ParseLeading(token), token.substr(0, cut));
}

} // namespace

double ParseLeadingNumber(std::string_view text) {
    return ParseLeading(UpToNul(text));
}

bool StartsWithNumber(std::string_view text) {
    text = UpToNul(text);
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    const std::string_view rest = text.substr(i);
    if (!rest.empty() && IsDigit(rest[0])) {
        return true;
    }
    if (rest.size() >= 2 && rest[0] == '.' && IsDigit(rest[1])) {
        return true;
    }
    if (rest.size() < 3) {
        return false;
    }
    const char word[] = {ToUpperAscii(rest[0]), ToUpperAscii(rest[1]), ToUpperAscii(rest[2])};
    const std::string_view upper(word, 3);
    return upper == "INF" || upper == "NAN";
}

std::string FormatG(double value) {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

double ParseNetlistValue(std::string_view token) {
    return ReadNetlistValue(token).value;
}

NetlistValue ReadNetlistValue(std::string_view token) {
    // The usual token: a digit (or a point and a digit) starts it, so it holds a number.
    const bool hex = token.size() > 1 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X');
    if (!token.empty() && !hex && (IsDigit(token[0]) || token[0] == '.')) {
        if (const std::optional<CommonToken> common = ReadCommonToken(token)) {
            return {ApplySuffixes(common->value,
                                  token.substr(common->numberEnd, common->suffixEnd - common->numberEnd)),
                    true};
        }
    }
    return {ParseOtherToken(token), StartsWithNumber(token)};
}

FieldValue ParseFieldValue(std::string_view text) {
    text = UpToNul(text.substr(0, kFieldTextLength));
    if (text.empty()) {
        return {};
    }
    return {ApplySuffixes(ParseLeading(text), text), true};
}

std::string ShowFieldValue(double value) {
    return value == 0.0 ? std::string() : FormatG(value);
}

} // namespace tarvex
