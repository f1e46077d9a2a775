#include "mesh/text_scanner.h"

#include "platform/system.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

using plain_scan::powers_of_ten;
using plain_scan::space_table;
constexpr size_t window_bytes = scan_window_bytes;

bool is_space(int c) {
    return c >= 0 && space_table[static_cast<unsigned>(c) & 0xff];
}

bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

int to_lower(int c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

int hex_value(int c) {
    if (is_digit(c))
        return c - '0';
    c = to_lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The byte that a UTF-16 code unit stands for.
char unit_byte(unsigned first, unsigned second, bool big_endian) {
    const unsigned unit = big_endian ? first << 8 | second : second << 8 | first;
    return static_cast<char>(unit < 128 ? unit : 0x80);
}

// Up to `room` bytes of UTF-16 text as 8-bit text; 0 only at the end of the
// file or on a read error. A last byte without its pair is a code unit cut
// off: it reads as 0x80, a character the reader cannot know, so it neither
// completes a number nor a keyword, as a stray byte above 127 would not.
size_t read_wide_text(text_scanner& s, char* to, size_t room) {
    unsigned char raw[16384];
    size_t have = 0;
    if (s.carried_byte >= 0)
        raw[have++] = static_cast<unsigned char>(s.carried_byte);
    s.carried_byte = -1;
    const size_t wanted = std::min(sizeof raw, 2 * room);
    while (have < 2) {
        const size_t got = std::fread(raw + have, 1, wanted - have, s.file);
        if (got == 0)
            break;
        have += got;
    }
    if (have == 1) {
        if (std::ferror(s.file))
            return 0;
        *to = static_cast<char>(0x80);
        return 1;
    }
    const size_t units = have / 2;
    for (size_t i = 0; i < units; ++i)
        to[i] = unit_byte(raw[2 * i], raw[2 * i + 1], s.big_endian);
    if (have % 2 != 0)
        s.carried_byte = raw[have - 1];
    return units;
}

size_t read_text(text_scanner& s, char* to, size_t room) {
    return s.wide_text ? read_wide_text(s, to, room) : std::fread(to, 1, room, s.file);
}

// Makes at least `wanted` unread bytes contiguous in the buffer, or all that
// the file has left.
void refill_window(text_scanner& s) {
    const size_t unread = s.length - s.position;
    std::memmove(s.buffer, s.buffer + s.position, unread);
    s.buffer_offset += static_cast<int64_t>(s.position);
    s.position = 0;
    s.length = unread;
    while (s.length < scan_buffer_size) {
        const size_t got = read_text(s, s.buffer + s.length, scan_buffer_size - s.length);
        if (got == 0) {
            if (std::ferror(s.file))
                fail_reading(s.path, errno);
            s.file_ended = true;
            break;
        }
        s.length += got;
    }
    s.buffer[s.length] = '\0';
}

inline void fill_window(text_scanner& s, size_t wanted) {
    if (s.length - s.position < wanted && !s.file_ended)
        refill_window(s);
}

// The next byte without consuming it, or EOF; refills as needed.
int peek(text_scanner& s) {
    if (s.position == s.length) {
        fill_window(s, 1);
        if (s.position == s.length)
            return EOF;
    }
    return static_cast<unsigned char>(s.buffer[s.position]);
}

// Reads through the scanner, refilling the buffer as it goes. The C library
// reads ahead one byte and pushes back the one it does not want; peeking and
// advancing gives the same consumption without a push-back buffer.
struct stream_cursor {
    text_scanner& s;
    int peek() { return ::peek(s); }
    void advance() { ++s.position; }
    bool ran_out() const { return false; }
};

// Reads the bytes already in the buffer through a pointer. Touching the end
// of the buffer before the end of the file marks the pass as void.
struct window_cursor {
    const char* at;
    const char* end;
    bool end_is_file_end;
    bool out = false;
    int peek() {
        if (at == end) {
            out = out || !end_is_file_end;
            return EOF;
        }
        return static_cast<unsigned char>(*at);
    }
    void advance() { ++at; }
    bool ran_out() const { return out; }
};

enum class outcome { converted, mismatch, input_ended };

template <typename Cursor> bool skip_space(Cursor& c) {
    int ch;
    while (is_space(ch = c.peek()))
        c.advance();
    return ch != EOF;
}

template <typename Cursor> outcome convert_string(Cursor& c, char* out, int width) {
    if (!skip_space(c))
        return outcome::input_ended;
    int taken = 0;
    int ch;
    while (taken < width && (ch = c.peek()) != EOF && !is_space(ch)) {
        out[taken++] = static_cast<char>(ch);
        c.advance();
    }
    out[taken] = '\0';
    return outcome::converted;
}

// "%i" (base 0: the prefix decides) and "%d" (base 10). The value is what
// glibc's strtol gives for the digits, saturating at the limits of 64 bits
// on every system (not at those of a 32-bit long, as on Windows), narrowed
// to 32 bits as fscanf stores it into an int.
template <typename Cursor> outcome convert_integer(Cursor& c, int32_t& value, int base) {
    if (!skip_space(c))
        return outcome::input_ended;
    int ch = c.peek();
    bool negative = false;
    if (ch == '-' || ch == '+') {
        negative = ch == '-';
        c.advance();
        ch = c.peek();
    }
    bool any_digit = false;
    if (ch == '0') {
        any_digit = true;
        c.advance();
        ch = c.peek();
        if (to_lower(ch) == 'x' && (base == 0 || base == 16)) {
            base = 16;
            c.advance(); // the 'x' is consumed but is not a digit
            ch = c.peek();
        } else if (base == 0) {
            base = 8;
        }
    }
    if (base == 0)
        base = 10;
    uint64_t magnitude = 0;
    bool overflow = false;
    for (int digit; ch != EOF && (digit = hex_value(ch)) >= 0 && digit < base; ch = c.peek()) {
        overflow = overflow ||
                   __builtin_mul_overflow(magnitude, static_cast<uint64_t>(base), &magnitude) ||
                   __builtin_add_overflow(magnitude, static_cast<uint64_t>(digit), &magnitude);
        any_digit = true;
        c.advance();
    }
    if (!any_digit)
        return outcome::mismatch;
    const uint64_t int64_max = static_cast<uint64_t>(INT64_MAX);
    uint64_t bits;
    if (negative)
        bits = overflow || magnitude > int64_max + 1 ? int64_max + 1 : ~magnitude + 1;
    else
        bits = overflow || magnitude > int64_max ? int64_max : magnitude;
    value = static_cast<int32_t>(static_cast<uint32_t>(bits));
    return outcome::converted;
}

// The characters of a "%f" number as the C library's scanner takes them,
// kept in a fixed buffer as a text that strtof reads as the same value, so
// that a number of any length needs no memory of its own. Zeros between the
// dot and the first significant digit, and significant digits beyond the
// first `kept_digits`, are not stored: they move the exponent instead, and a
// final 1 stands for dropped digits that were not all zero, which rounds the
// same way since a float's rounding boundaries have far fewer digits. The
// exponent written in the number saturates far beyond any float's range.
class float_text {
  public:
    void sign(int c) { append(c); }
    void letter(int c) { append(c); }
    void hex_prefix(int x) {
        append(x);
        hex_ = true;
        has_digit_ = false;
    }
    void dot() {
        append('.');
        dot_ = true;
    }
    void exponent_mark() { in_exponent_ = true; }
    void exponent_sign(int c) { exponent_negative_ = c == '-'; }

    void digit(int c) {
        if (in_exponent_) {
            exponent_digits_ = true;
            exponent_ = std::min<int64_t>(exponent_ * 10 + (c - '0'), exponent_limit);
            return;
        }
        const bool zero = c == '0';
        if (kept_significant_ == 0 && zero) {
            if (!has_digit_)
                append(c); // the one zero that makes "0", ".0" or "0x0" a number
            else if (dot_)
                shift_ -= digit_weight();
            has_digit_ = true;
            return;
        }
        has_digit_ = true;
        if (kept_significant_ < kept_digits) {
            append(c);
            ++kept_significant_;
            return;
        }
        dropped_nonzero_ = dropped_nonzero_ || !zero;
        if (!dot_)
            shift_ += digit_weight();
    }

    // The text, NUL-terminated.
    std::string_view finish() {
        if (dropped_nonzero_) {
            if (!dot_)
                append('.');
            append('1');
        }
        const int64_t exponent =
            shift_ + (exponent_digits_ ? (exponent_negative_ ? -exponent_ : exponent_) : 0);
        if (exponent_digits_ || shift_ != 0) {
            append(hex_ ? 'p' : 'e');
            const auto [end, error] = std::to_chars(text_ + length_, text_ + capacity, exponent);
            length_ = error == std::errc() ? static_cast<size_t>(end - text_) : length_;
        }
        text_[length_] = '\0';
        return {text_, length_};
    }

  private:
    static constexpr int kept_digits = 200;
    static constexpr int64_t exponent_limit = 100'000'000'000'000'000;
    // Sign, "0x", a zero, two dots, the digits, a 1, an exponent and the NUL.
    static constexpr size_t capacity = kept_digits + 40;

    int digit_weight() const { return hex_ ? 4 : 1; } // a hex digit is 4 binary places
    void append(int c) { text_[length_++] = static_cast<char>(c); }

    char text_[capacity];
    size_t length_ = 0;
    bool hex_ = false;
    bool dot_ = false;
    bool has_digit_ = false;
    bool in_exponent_ = false;
    bool exponent_digits_ = false;
    bool exponent_negative_ = false;
    bool dropped_nonzero_ = false;
    int kept_significant_ = 0;
    int64_t exponent_ = 0; // as written, saturated
    int64_t shift_ = 0;    // from digits not stored
};

// Takes the next character into the number when it is the letter `wanted`
// (lower case). A different character is consumed all the same, as the C
// library does inside "inf" and "nan".
template <typename Cursor> bool take_letter(Cursor& c, float_text& text, int wanted) {
    const int ch = c.peek();
    if (ch == EOF)
        return false;
    c.advance();
    if (to_lower(ch) != wanted)
        return false;
    text.letter(ch);
    return true;
}

// "inf", "infinity" or "nan" after an optional sign. A partial word is a
// mismatch that keeps what it consumed.
template <typename Cursor> bool scan_special_float(Cursor& c, float_text& text) {
    const auto word = [&](const char* letters) {
        for (; *letters != '\0'; ++letters)
            if (!take_letter(c, text, *letters))
                return false;
        return true;
    };
    if (to_lower(c.peek()) == 'n')
        return word("nan");
    if (!word("inf"))
        return false;
    return to_lower(c.peek()) != 'i' || word("inity");
}

static_assert(FLT_EVAL_METHOD == 0, "float arithmetic must round to single precision");

// Digits that make an integer of at most 2^24, with at most 10 of them after
// the dot: integer and power of ten are both exact floats, so one division
// rounds the value correctly. Exporters write nearly all their numbers this
// way ("55.0000", "-0.5774").

struct small_decimal {
    uint32_t digits = 0;
    int fraction_digits = 0;
    bool fits = true;
    void add(int digit, bool after_dot) {
        fits = fits && digits <= ((1u << 24) - 9) / 10;
        digits = digits * 10 + static_cast<uint32_t>(digit);
        fraction_digits += after_dot ? 1 : 0;
    }
    float value(bool negative) const {
        const float magnitude = static_cast<float>(digits) / powers_of_ten[fraction_digits];
        return negative ? -magnitude : magnitude;
    }
    bool exact() const { return fits && fraction_digits <= 10; }
};

// strtof decides the value, including its rounding; from_chars gives the
// same correctly rounded result for plain decimal text, much faster. The
// text is NUL-terminated.
bool text_to_float(std::string_view text, bool plain_decimal, float& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first; // from_chars takes no plus sign
    if (plain_decimal) {
        float parsed;
        const auto [end, error] = std::from_chars(first, last, parsed);
        if (error == std::errc() && end == last) {
            value = parsed;
            return true;
        }
    }
    char* end = nullptr;
    const int saved_errno = errno;
    const float parsed = std::strtof(text.data(), &end);
    errno = saved_errno;
    if (end == text.data())
        return false;
    value = parsed;
    return true;
}

// "%f": collects the characters the C library's scanner accepts, then
// converts them. Like the C library, the conversion succeeds when any prefix
// of what was collected is a number ("1e" reads as 1 and the 'e' is gone).
template <typename Cursor> outcome convert_float(Cursor& c, float& value) {
    if (!skip_space(c))
        return outcome::input_ended;
    float_text text;
    int ch = c.peek();
    size_t kept = 0;
    const auto next = [&] {
        c.advance();
        ++kept;
        ch = c.peek();
    };
    bool got_sign = false, plain_decimal = false;
    const bool negative = ch == '-';
    small_decimal decimal;
    if (ch == '-' || ch == '+') {
        got_sign = true;
        text.sign(ch);
        next();
        if (ch == EOF)
            return outcome::mismatch;
    }
    if (to_lower(ch) == 'n' || to_lower(ch) == 'i') {
        if (!scan_special_float(c, text))
            return outcome::mismatch;
    } else {
        bool hex = false, got_digit = false, got_dot = false, got_exponent = false;
        bool after_exponent_char = false;
        int exponent_char = 'e';
        if (ch == '0') {
            text.digit(ch);
            next();
            if (to_lower(ch) == 'x') {
                hex = true;
                exponent_char = 'p';
                text.hex_prefix(ch);
                next();
            } else {
                got_digit = true;
            }
        }
        while (ch != EOF) {
            const bool was_after_exponent_char = after_exponent_char;
            after_exponent_char = false;
            if (is_digit(ch) || (!got_exponent && hex && hex_value(ch) >= 0)) {
                got_digit = true;
                decimal.add(ch - '0', got_dot);
                text.digit(ch);
            } else if (was_after_exponent_char && (ch == '-' || ch == '+')) {
                text.exponent_sign(ch);
            } else if (got_digit && !got_exponent && to_lower(ch) == exponent_char) {
                got_exponent = got_dot = true;
                after_exponent_char = true;
                text.exponent_mark();
            } else if (!got_dot && ch == '.') {
                got_dot = true;
                text.dot();
            } else {
                break;
            }
            next();
        }
        if (kept == (got_sign ? 1u : 0u) || (hex && kept == (got_sign ? 3u : 2u)))
            return outcome::mismatch;
        if (!hex && !got_exponent && got_digit && decimal.exact()) {
            value = decimal.value(negative);
            return outcome::converted;
        }
        plain_decimal = !hex;
    }
    return text_to_float(text.finish(), plain_decimal, value) ? outcome::converted
                                                              : outcome::mismatch;
}

// Runs a conversion on the buffered bytes through a pointer, or, when it
// reaches the end of the buffer before the end of the file, again from the
// same place through the refilling path.
template <typename Convert> outcome run_conversion(text_scanner& s, Convert convert) {
    fill_window(s, window_bytes);
    window_cursor window{s.buffer + s.position, s.buffer + s.length, s.file_ended};
    const outcome result = convert(window);
    if (!window.ran_out()) {
        s.position = static_cast<size_t>(window.at - s.buffer);
        return result;
    }
    stream_cursor stream{s};
    return convert(stream);
}

template <typename Value, typename Convert>
outcome scan_into(text_scanner& s, void* out, Convert convert) {
    Value value;
    const outcome result = run_conversion(s, [&](auto& cursor) { return convert(cursor, value); });
    if (result == outcome::converted)
        *static_cast<Value*>(out) = value;
    return result;
}

// The first byte at or after `at` that is white space, looked for eight
// bytes at a time: a byte of 0x20 or less is a candidate, and the table says
// whether it really is white space. May return a point beyond `limit`.
const char* find_space(const char* at, const char* limit) {
    while (at < limit) {
        uint64_t word;
        std::memcpy(&word, at, sizeof word);
        uint64_t candidates = (word - 0x2121212121212121ull) & ~word & 0x8080808080808080ull;
        while (candidates != 0) {
            const char* candidate = at + __builtin_ctzll(candidates) / 8;
            if (space_table[static_cast<unsigned char>(*candidate)])
                return candidate;
            candidates &= candidates - 1;
        }
        at += 8;
    }
    return at;
}

// The plain path of scan_plain for a format known only at run time, which
// may also hold "%Ns": false, with nothing consumed, sends the call through
// the exact conversions from the same place.
bool scan_plain_all(text_scanner& s, const char* format, const scan_target* targets,
                    int& assigned) {
    if (s.length - s.position < window_bytes && !s.file_ended)
        return false;
    const char* at = s.buffer + s.position;
    const char* const end = s.buffer + s.length;
    // The NUL after the data is neither space nor digit, so these loops stop
    // at the end of the data without testing for it.
    const auto skip = [&] { at = plain_scan::skip_space(at); };
    int count = 0;
    for (const char* f = format; *f != '\0'; ++f) {
        if (is_space(static_cast<unsigned char>(*f))) {
            skip();
            continue;
        }
        if (*f != '%') {
            if (at == end || *at != *f)
                return false;
            ++at;
            continue;
        }
        long width = 0;
        while (is_digit(*++f))
            width = width * 10 + (*f - '0');
        void* out = targets[count].pointer;
        skip();
        if (*f == 's') {
            const char* token = at;
            const char* limit = width > 0 && end - at > width ? at + width : end;
            while (at != limit && !space_table[static_cast<unsigned char>(*at)])
                ++at;
            if (at == token || (at == end && !s.file_ended))
                return false;
            std::memcpy(out, token, static_cast<size_t>(at - token));
            static_cast<char*>(out)[at - token] = '\0';
            ++count;
            continue;
        }
        const bool read = *f == 'f' ? plain_scan::number<'f'>(at, end, static_cast<float*>(out))
                          : *f == 'i'
                              ? plain_scan::number<'i'>(at, end, static_cast<int32_t*>(out))
                              : plain_scan::number<'d'>(at, end, static_cast<int32_t*>(out));
        if (!read)
            return false;
        ++count;
    }
    s.position = static_cast<size_t>(at - s.buffer);
    assigned = count;
    return true;
}

} // namespace

void fail_reading(const char* path, int error) {
    std::printf("cannot read \"%s\": %s\n", path, std::strerror(error != 0 ? error : EIO));
    std::exit(1);
}

// The first two bytes decide the encoding; when they are no byte-order
// mark they stay in the buffer as the first bytes of the text.
void scan_start(text_scanner& scanner, std::FILE* file, const char* path) {
    scanner.file = file;
    scanner.path = path;
    scanner.position = 0;
    scanner.file_ended = false;
    scanner.wide_text = false;
    scanner.big_endian = false;
    scanner.carried_byte = -1;
    scanner.buffer_offset = tell_file(file);
    if (scanner.buffer_offset < 0)
        scanner.buffer_offset = 0;
    scanner.length = std::fread(scanner.buffer, 1, 2, file);
    const auto mark = [&](unsigned char first, unsigned char second) {
        return scanner.length == 2 && static_cast<unsigned char>(scanner.buffer[0]) == first &&
               static_cast<unsigned char>(scanner.buffer[1]) == second;
    };
    if (mark(0xff, 0xfe) || mark(0xfe, 0xff)) {
        scanner.wide_text = true;
        scanner.big_endian = mark(0xfe, 0xff);
        scanner.length = 0;
        scanner.buffer_offset = 0;
    }
    refill_window(scanner);
}

int scan_list(text_scanner& s, const char* format, const scan_target* targets) {
    int assigned = 0;
    if (scan_plain_all(s, format, targets, assigned))
        return assigned;
    const auto input_ended = [&] { return assigned == 0 ? EOF : assigned; };
    bool skip_pending = false;
    for (const char* f = format; *f != '\0'; ++f) {
        if (is_space(static_cast<unsigned char>(*f))) {
            skip_pending = true;
            continue;
        }
        if (*f != '%') {
            stream_cursor stream{s};
            if (skip_pending && !skip_space(stream))
                return input_ended();
            skip_pending = false;
            const int c = peek(s);
            if (c == EOF)
                return input_ended();
            if (c != static_cast<unsigned char>(*f))
                return assigned;
            ++s.position;
            continue;
        }
        skip_pending = false;
        int width = 0;
        while (is_digit(*++f))
            width = width * 10 + (*f - '0');
        void* out = targets[assigned].pointer;
        outcome result = outcome::mismatch;
        switch (*f) {
        case 's': {
            char* text = static_cast<char*>(out);
            const int limit = width > 0 ? width : INT_MAX;
            result = run_conversion(
                s, [&](auto& cursor) { return convert_string(cursor, text, limit); });
            break;
        }
        case 'i':
        case 'd': {
            const int base = *f == 'i' ? 0 : 10;
            result = scan_into<int32_t>(s, out, [base](auto& cursor, int32_t& value) {
                return convert_integer(cursor, value, base);
            });
            break;
        }
        case 'f':
            result = scan_into<float>(
                s, out, [](auto& cursor, float& value) { return convert_float(cursor, value); });
            break;
        }
        if (result == outcome::input_ended)
            return input_ended();
        if (result == outcome::mismatch)
            return assigned;
        ++assigned;
    }
    return assigned;
}

std::string_view scan_token(text_scanner& s) {
    if (s.length - s.position >= window_bytes || s.file_ended) {
        const char* at = s.buffer + s.position;
        while (space_table[static_cast<unsigned char>(*at)])
            ++at;
        const char* const start = at;
        const char* const end = s.buffer + s.length;
        const char* const limit = end - at > 255 ? at + 255 : end;
        at = std::min(find_space(at, limit), limit);
        if (at != end || s.file_ended) {
            s.position = static_cast<size_t>(at - s.buffer);
            return {start, static_cast<size_t>(at - start)};
        }
    }
    int c;
    while (is_space(c = peek(s)))
        ++s.position;
    size_t length = 0;
    while (length < 255 && (c = peek(s)) != EOF && !is_space(c)) {
        s.token[length++] = static_cast<char>(c);
        ++s.position;
    }
    return {s.token, length};
}

bool discard_line(text_scanner& s) {
    fill_window(s, 256);
    const size_t available = std::min<size_t>(255, s.length - s.position);
    if (available == 0)
        return false;
    const char* start = s.buffer + s.position;
    const void* line_end = std::memchr(start, '\n', available);
    s.position += line_end != nullptr
                      ? static_cast<size_t>(static_cast<const char*>(line_end) - start) + 1
                      : available;
    return true;
}

int64_t scan_offset(const text_scanner& scanner) {
    return scanner.buffer_offset + static_cast<int64_t>(scanner.position);
}
