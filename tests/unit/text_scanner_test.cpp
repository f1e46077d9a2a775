// Our conversions against the C library's fscanf on the same bytes: same
// result, same values, same stream position afterwards.
#include "mesh/text_scanner.h"
#include "support/posix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct scan_result {
    int returned = 0;
    long position = 0;
    int32_t ints[4] = {-7777, -7777, -7777, -7777};
    float floats[4] = {-77.0f, -77.0f, -77.0f, -77.0f};
    char token[256] = "untouched";
};

// The formats the reader uses, each with its destination types.
enum class shape { i, f, s, iiii, ffff, ffi, iffff };
struct format_case {
    const char* format;
    shape kind;
};
const format_case formats[] = {
    {"%i", shape::i},          {"%d", shape::i},
    {"%f", shape::f},          {"%255s", shape::s},
    {"%i:", shape::i},         {"\tA:\t%d B:\t%d C:\t%d", shape::iiii},
    {"%i %i %i", shape::iiii}, {"%f %f", shape::ffff},
    {"%f %f %f", shape::ffff}, {"%i %f %f %f", shape::iffff},
};

template <typename Scan>
scan_result run(const std::string& input, const format_case& fc, Scan scan_with) {
    scan_result r;
    std::FILE* file = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    EXPECT_NE(file, nullptr);
    switch (fc.kind) {
    case shape::i:
        r.returned = scan_with(file, fc.format, &r.ints[0]);
        break;
    case shape::f:
        r.returned = scan_with(file, fc.format, &r.floats[0]);
        break;
    case shape::s:
        r.returned = scan_with(file, fc.format, r.token);
        break;
    case shape::iiii:
        r.returned = scan_with(file, fc.format, &r.ints[0], &r.ints[1], &r.ints[2]);
        break;
    case shape::ffff:
        r.returned = scan_with(file, fc.format, &r.floats[0], &r.floats[1], &r.floats[2]);
        break;
    case shape::ffi:
    case shape::iffff:
        r.returned =
            scan_with(file, fc.format, &r.ints[0], &r.floats[0], &r.floats[1], &r.floats[2]);
        break;
    }
    r.position = scan_with.position(file);
    std::fclose(file);
    return r;
}

struct libc_scan {
    template <typename... T> int operator()(std::FILE* f, const char* format, T*... out) {
        return std::fscanf(f, format, out...);
    }
    long position(std::FILE* f) { return std::ftell(f); }
};

struct our_scan {
    text_scanner scanner;
    template <typename... T> int operator()(std::FILE* f, const char* format, T*... out) {
        scan_start(scanner, f, "input");
        return scan(scanner, format, out...);
    }
    long position(std::FILE*) { return scan_offset(scanner); }
};

bool same_float(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

std::string printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 32 && c < 127)
            out += static_cast<char>(c);
        else
            out += "\\x" + std::string(1, "0123456789abcdef"[c >> 4]) + "0123456789abcdef"[c & 15];
    }
    return out.size() > 200 ? out.substr(0, 200) + "..." : out;
}

// Compares and reports; returns false on the first difference. Ours reads
// `our_input`, the same text as `input` unless given in another encoding.
bool agree(const std::string& input, const format_case& fc,
           const std::string* our_input = nullptr) {
    static our_scan ours; // the scanner's buffer is large; keep it off the stack
    const scan_result expected = run(input, fc, libc_scan{});
    const scan_result actual = run(our_input != nullptr ? *our_input : input, fc, ours);
    bool same = expected.returned == actual.returned && expected.position == actual.position &&
                std::strcmp(expected.token, actual.token) == 0;
    for (int k = 0; k < 4; ++k)
        same = same && expected.ints[k] == actual.ints[k] &&
               same_float(expected.floats[k], actual.floats[k]);
    if (!same) {
        ADD_FAILURE() << "format \"" << printable(fc.format) << "\" on \"" << printable(input)
                      << "\": libc returned " << expected.returned << " at " << expected.position
                      << " ints " << expected.ints[0] << "," << expected.ints[1] << " floats "
                      << expected.floats[0] << "," << expected.floats[1] << "; ours returned "
                      << actual.returned << " at " << actual.position << " ints " << actual.ints[0]
                      << "," << actual.ints[1] << " floats " << actual.floats[0] << ","
                      << actual.floats[1];
    }
    return same;
}

void check_all_formats(const std::string& input) {
    for (const format_case& fc : formats)
        if (!agree(input, fc))
            return;
}

// clang-format off
const char* const hostile_inputs[] = {
    "", " ", "\n\r\t\v\f", "0", "-0", "+0", "-", "+", "--1", "+-1", "42", "  42  ", "42abc",
    "0x", "0X1f", "0xg", "-0x10", "+0x", "0x7fffffff", "0x80000000", "0xffffffff",
    "0x100000000", "017", "08", "09", "0777777777777", "2147483647", "2147483648",
    "-2147483648", "-2147483649", "4294967295", "4294967296", "9223372036854775807",
    "9223372036854775808", "-9223372036854775809", "99999999999999999999999999",
    "1.5", "-4.0", ".5", "5.", ".", "-.", "-.e1", "1e", "1e+", "1e-", "1e+-2", "1E5", "1e5.3",
    "1.5.3", "1..2", "inf", "INF", "-inf", "+Infinity", "infinit", "infinityx", "infx", "in",
    "i", "nan", "NaN", "-nan", "nanx", "na", "n", "nan(123)", "0x1p3", "0x1.8p1", "-0x1P-2",
    "0x.8p1", "0xp1", "0x.p1", "0x1p", "0x1p+", "0x1e5", "0x1.fffffep127", "1e39", "-1e39",
    "1e-46", "1e-38", "3.4028235e38", "3.4028236e38", "1.17549435e-38", "0.1", "0.30000001",
    "16777217", "1.000000059604644775390625", "00000000000000000000001.5",
    "0.0000000000000000000000000000000000000000000001401298464324817", "1:", "1 :", "1:2",
    "0x1:", "0:", "\tA:\t1 B:\t2 C:\t3", "A:\t1 B:\t2 C:\t3", "\tA: 1 B: 2 C: 3",
    "\tA:\t1 B:\t2", "\tA:\t1 B:\tx C:\t3", "   A :1", "\tA:\t1 B:\t2 C:\t", "1 2 3", "1 2",
    "1\r\n2\r\n3\r\n", "1.5 2.5 -3.5 extra", "4 0.0 0.0 1.0", "4 0.0 x 1.0", "tok", "a b",
    "*MESH_VERTEX", "{", "}", "\"quoted name\"", "1,5", "1e5e5", "0e", "0x0", "00x1", "-00",
    "1.5f", "1.5L", "\xff\xff\xfe", "caf\xc3\xa9", "- 1", "+ 1", "1 -", "0b101",
};
// clang-format on

// The reference is glibc's fscanf, which the scanner follows on every system.
#ifdef __GLIBC__
constexpr bool glibc_reference = true;
#else
constexpr bool glibc_reference = false;
#endif
const char* const no_glibc = "the reference is glibc's fscanf; the scanner is the same code here";

} // namespace

TEST(TextScanner, MatchesLibcOnHostileInputs) {
    if (!glibc_reference)
        GTEST_SKIP() << no_glibc;
    for (const char* input : hostile_inputs)
        check_all_formats(input);
}

// UTF-16 text after its byte-order mark reads as its 8-bit form: each unit
// below 128 as that byte, any other as 0x80, and a last byte without its
// pair as 0x80 too. The unit standing for a byte above 127 is U+3131, both
// of whose bytes are the digit 1, so that a decoder reading either byte of
// a unit as text would make a number of it.
TEST(TextScanner, Utf16TextMatchesLibcOnItsEightBitForm) {
    if (!glibc_reference)
        GTEST_SKIP() << no_glibc;
    const auto wide = [](const std::string& text, bool big_endian) {
        std::string bytes = big_endian ? "\xfe\xff" : "\xff\xfe";
        for (const unsigned char c : text) {
            const unsigned unit = c < 128 ? c : 0x3131;
            const char low = static_cast<char>(unit & 0xff), high = static_cast<char>(unit >> 8);
            bytes += big_endian ? std::string{high, low} : std::string{low, high};
        }
        return bytes;
    };
    const auto eight_bit = [](std::string text) {
        for (char& c : text)
            c = static_cast<unsigned char>(c) < 128 ? c : '\x80';
        return text;
    };
    std::vector<std::string> inputs(std::begin(hostile_inputs), std::end(hostile_inputs));
    inputs.insert(inputs.end(),
                  {"12\x80 5",
                   "\x80"
                   "7",
                   "1.5\xc3\xa9", std::string(3000, ' ') + "9", std::string("4\0 2", 4)});
    for (const std::string& input : inputs)
        for (const bool big_endian : {false, true}) {
            const std::string text = wide(input, big_endian);
            const std::string odd = text + "7";
            for (const format_case& fc : formats)
                if (!agree(eight_bit(input), fc, &text) ||
                    !agree(eight_bit(input) + "\x80", fc, &odd))
                    return;
        }
}

TEST(TextScanner, MatchesLibcWithNulBytes) {
    if (!glibc_reference)
        GTEST_SKIP() << no_glibc;
    check_all_formats(std::string("12\0 34", 6));
    check_all_formats(std::string("\0", 1));
    check_all_formats(std::string("ab\0cd ef", 8));
}

// Numbers and white space longer than what a conversion can see at once.
// A long number is kept as a short text of the same value; the midpoints
// between floats followed by a far-off 1, or by zeros only, show that the
// digits it drops still decide the rounding.
TEST(TextScanner, MatchesLibcOnVeryLongNumbersAndSpaces) {
    if (!glibc_reference)
        GTEST_SKIP() << no_glibc;
    const std::string digits(3000, '7');
    const std::string zeros(300, '0');
    for (const std::string& input :
         {digits, "-" + digits + ".5e-3000", "0." + std::string(3000, '0') + "1", "0x" + digits,
          std::string(5000, ' ') + "12.5 3 4",
          std::string(5000, '\n') + "*MESH_FACE 1:", "0" + std::string(2000, '0') + "17",
          "1e" + std::string(2000, '0') + "5", "1.000000059604644775390625" + zeros + "1",
          "1.000000059604644775390625" + zeros, "16777217" + zeros + "1e-301",
          "0x1.000001" + zeros + "1p0", "0." + std::string(5000, '0') + "15e5001"})
        check_all_formats(input);
}

TEST(TextScanner, MatchesLibcOnTokensOfEveryLengthNearTheLimit) {
    if (!glibc_reference)
        GTEST_SKIP() << no_glibc;
    for (size_t length : {254u, 255u, 256u, 257u, 600u})
        check_all_formats(std::string(length, 'k') + " next");
}

// Every input again, placed so that it straddles a refill of the buffer at
// each of its positions.
TEST(TextScanner, MatchesLibcAcrossBufferRefills) {
    if (!glibc_reference)
        GTEST_SKIP() << no_glibc;
    for (const char* text : hostile_inputs) {
        const std::string input = text;
        for (size_t split = 0; split <= input.size(); ++split)
            check_all_formats(std::string(scan_buffer_size - split, ' ') + input);
    }
}

TEST(TextScanner, MatchesLibcOnGeneratedNumbers) {
    if (!glibc_reference)
        GTEST_SKIP() << no_glibc;
    std::mt19937 random(12345);
    const std::string alphabet = "0123456789+-.eExXpPaAfFiInNtTyY \t\r\n:ABCbc";
    for (int n = 0; n < 20000; ++n) {
        std::string input;
        const int length = 1 + static_cast<int>(random() % 14);
        for (int k = 0; k < length; ++k)
            input += alphabet[random() % alphabet.size()];
        check_all_formats(input);
        if (HasFailure())
            return;
    }
}

TEST(TextScanner, MatchesLibcOnWellFormedNumbers) {
    if (!glibc_reference)
        GTEST_SKIP() << no_glibc;
    std::mt19937 random(777);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    for (int n = 0; n < 5000; ++n) {
        char text[64];
        const int exponent = static_cast<int>(random() % 90) - 45;
        std::snprintf(text, sizeof text, "%.*e", static_cast<int>(random() % 20),
                      mantissa(random) * std::pow(10.0, exponent));
        check_all_formats(text);
        std::snprintf(text, sizeof text, "%.*f", static_cast<int>(random() % 12),
                      mantissa(random) * 1000);
        check_all_formats(text);
        std::snprintf(text, sizeof text, "%a", mantissa(random) * std::pow(2.0, exponent));
        check_all_formats(text);
        // Unsigned, so that the product wraps instead of overflowing.
        std::snprintf(text, sizeof text, "%lld",
                      static_cast<long long>(static_cast<unsigned long long>(random()) *
                                             static_cast<unsigned long long>(random())));
        check_all_formats(text);
        if (HasFailure())
            return;
    }
}

TEST(TextScanner, DiscardLineStopsAfterLineEndOrAt255Characters) {
    const std::string input = "rest of line\nnext" + std::string(300, 'z');
    std::FILE* file = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    static text_scanner scanner;
    scan_start(scanner, file, "input");
    EXPECT_TRUE(discard_line(scanner));
    EXPECT_EQ(scan_offset(scanner), 13);
    EXPECT_TRUE(discard_line(scanner));
    EXPECT_EQ(scan_offset(scanner), 13 + 255);
    EXPECT_TRUE(discard_line(scanner));
    EXPECT_FALSE(discard_line(scanner));
    std::fclose(file);
}
