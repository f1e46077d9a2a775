// A buffered text stream with scanf-style conversions of our own, matching the
// C library's fscanf on the formats the ASE reader uses: white space (any
// amount, including none), literal characters, "%Ns", "%i", "%d" and "%f".
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <tuple>
#include <type_traits>

inline constexpr size_t scan_buffer_size = 256 * 1024;

// A conversion no longer than this (white space before it included) never
// meets the end of the buffer, so it runs on plain pointers; a longer one is
// run again through the refilling path.
inline constexpr size_t scan_window_bytes = 1024;

struct text_scanner {
    std::FILE* file = nullptr;
    const char* path = nullptr; // names the file in the line a read error prints
    size_t position = 0;        // next unread byte in buffer
    size_t length = 0;          // bytes of buffer that hold file data
    int64_t buffer_offset = 0;  // offset in the file of buffer[0]
    bool file_ended = false;    // the file has no bytes beyond buffer[length - 1]
    char token[255];            // a token that did not fit the buffer
    // File data, then a NUL that stops every scan loop, and room for reading
    // eight bytes at a time up to the end.
    char buffer[scan_buffer_size + 8];
    bool wide_text = false;  // UTF-16 after a byte-order mark, read as 8-bit text
    bool big_endian = false; // the UTF-16 byte order: FE FF (true) or FF FE
    int carried_byte = -1;   // the first byte of a code unit whose second is not read yet
};

// One destination of a conversion: "%i"/"%d" take int32_t, "%f" float and
// "%s" a char buffer large enough for the conversion's width plus the NUL.
struct scan_target {
    char kind;
    void* pointer;
    scan_target(int32_t* p) : kind('i'), pointer(p) {}
    scan_target(float* p) : kind('f'), pointer(p) {}
    scan_target(char* p) : kind('s'), pointer(p) {}
};

// Starts reading `file` from its current position. A read error on it, at
// any point, prints `cannot read "PATH": REASON` and ends the process with
// status 1 at once, so nothing read after the failure is acted on. Text that
// starts with a UTF-16 byte-order mark (FF FE or FE FF) is read as the 8-bit
// text it stands for: each code unit below 128 as that byte, any other as
// the byte 0x80, which is neither white space, digit nor part of a keyword.
void scan_start(text_scanner& scanner, std::FILE* file, const char* path);

// The line and the exit of a read error on the file at `path`, `error`
// being the errno it failed with.
[[noreturn]] void fail_reading(const char* path, int error);

// Runs `format` like fscanf: returns the number of conversions assigned, or
// EOF when the input ended before the first one. Consumes exactly what
// fscanf would, including the characters a failed conversion swallows.
int scan_list(text_scanner& scanner, const char* format, const scan_target* targets);

template <typename... Targets>
int scan(text_scanner& scanner, const char* format, Targets*... targets) {
    const scan_target list[] = {scan_target(targets)..., scan_target(static_cast<char*>(nullptr))};
    return scan_list(scanner, format, list);
}

// Reads one token as "%255s" does: up to 255 characters that are not white
// space. Empty when the input ends first. The text stays valid until the
// next call on the scanner.
std::string_view scan_token(text_scanner& scanner);

// Discards input like fgets into a 256-byte buffer: up to and including the
// next line end, but at most 255 characters. False if nothing was left.
bool discard_line(text_scanner& scanner);

// Offset of the next unread byte from where the scan started; in UTF-16
// text, of the next code unit after the byte-order mark, counted in units.
int64_t scan_offset(const text_scanner& scanner);

// The common case, read without the general machinery: a format fixed at
// compile time whose numbers are all plain ("-12", "0", "55.0000") and whose
// literals are all there. False, with nothing consumed, for anything else
// (another number form, a mismatch, the end of the buffer or of the file):
// the exact conversions of scan() then decide. Values stored before that are
// the ones scan() stores too, since it reads plain numbers the same way.
template <size_t size> struct fixed_format {
    char text[size];
    consteval fixed_format(const char (&source)[size]) {
        for (size_t i = 0; i < size; ++i)
            text[i] = source[i];
    }
};

namespace plain_scan {

// White space as the C library's isspace sees it in the "C" locale.
inline constexpr auto space_table = [] {
    std::array<bool, 256> table{};
    for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'})
        table[c] = true;
    return table;
}();

inline constexpr float powers_of_ten[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                          1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// The buffer ends with a NUL, neither space nor digit, so these loops stop
// at the end of the data without testing for it.
inline const char* skip_space(const char* at) {
    while (space_table[static_cast<unsigned char>(*at)])
        ++at;
    return at;
}

// One plain number for "%i", "%d" or "%f" at `at` (white space skipped).
// Seven digits at most, so the value is exact as an int and, divided by a
// power of ten of at most 10 (both exact floats), correctly rounded as a
// float by the one division.
template <char kind, typename Value> bool number(const char*& at, const char* end, Value* out) {
    static_assert(kind == 'f' ? std::is_same_v<Value, float> : std::is_same_v<Value, int32_t>,
                  "%f takes a float, %i and %d an int32_t");
    const char* p = at;
    const bool negative = *p == '-';
    p += negative ? 1 : 0;
    const char* first_digit = p;
    uint32_t digits = 0;
    for (unsigned d; (d = static_cast<unsigned char>(*p) - 48u) < 10; ++p)
        digits = digits * 10 + d;
    long digit_count = p - first_digit;
    long fraction_digits = 0;
    if (kind == 'f' && *p == '.') {
        const char* first_fraction = ++p;
        for (unsigned d; (d = static_cast<unsigned char>(*p) - 48u) < 10; ++p)
            digits = digits * 10 + d;
        fraction_digits = p - first_fraction;
        digit_count += fraction_digits;
    }
    if (p == end || digit_count == 0 || digit_count > 7)
        return false;
    // A letter or a dot after the digits may belong to the number (an
    // exponent, a hexadecimal prefix, a second dot); a leading zero makes
    // "%i" octal: the exact path decides those.
    const char next = *p;
    if (next == '.' || ((next | 0x20) >= 'a' && (next | 0x20) <= 'z'))
        return false;
    if constexpr (kind == 'f') {
        // The sign goes in as a bit: a branch on it would be a coin toss.
        const float magnitude = static_cast<float>(digits) / powers_of_ten[fraction_digits];
        *out = std::bit_cast<float>(std::bit_cast<uint32_t>(magnitude) |
                                    static_cast<uint32_t>(negative) << 31);
    } else {
        if (kind == 'i' && digit_count > 1 && *first_digit == '0')
            return false;
        const int32_t sign = -static_cast<int32_t>(negative);
        *out = (static_cast<int32_t>(digits) ^ sign) - sign;
    }
    at = p;
    return true;
}

// Format element `index` onward, with `target` the next destination; the
// compiler unrolls the whole format.
template <fixed_format format, size_t index, size_t target, typename Targets>
bool steps(const char*& at, const char* end, Targets& targets) {
    constexpr char element = format.text[index];
    if constexpr (element == '\0') {
        static_assert(target == std::tuple_size_v<Targets>, "one destination per conversion");
        return true;
    } else if constexpr (element == ' ' || element == '\t') {
        at = skip_space(at);
        return steps<format, index + 1, target>(at, end, targets);
    } else if constexpr (element != '%') {
        if (*at != element)
            return false;
        ++at;
        return steps<format, index + 1, target>(at, end, targets);
    } else {
        at = skip_space(at);
        return number<format.text[index + 1]>(at, end, std::get<target>(targets)) &&
               steps<format, index + 2, target + 1>(at, end, targets);
    }
}

} // namespace plain_scan

template <fixed_format format, typename... Targets>
bool scan_plain(text_scanner& scanner, Targets*... targets) {
    if (scanner.length - scanner.position < scan_window_bytes && !scanner.file_ended)
        return false;
    const char* at = scanner.buffer + scanner.position;
    std::tuple<Targets*...> list(targets...);
    if (!plain_scan::steps<format, 0, 0>(at, scanner.buffer + scanner.length, list))
        return false;
    scanner.position = static_cast<size_t>(at - scanner.buffer);
    return true;
}
