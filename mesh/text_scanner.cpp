#include "mesh/text_scanner.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(int c) { return c >= '0' && c <= '9'; }

bool is_hex_digit(int c) { return std::isxdigit(c) != 0; }

int to_lower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

bool refill(text_scanner& s) {
    s.buffer_offset += static_cast<long>(s.length);
    s.position = 0;
    s.length = std::fread(s.buffer, 1, scan_buffer_size, s.file);
    return s.length > 0;
}

// The next byte without consuming it, or EOF.
int peek(text_scanner& s) {
    if (s.position == s.length && !refill(s))
        return EOF;
    return static_cast<unsigned char>(s.buffer[s.position]);
}

// Consumes the byte that peek returned. The C library reads ahead one byte
// and pushes back the one it does not want; peeking and advancing gives the
// same consumption without a push-back buffer.
void advance(text_scanner& s) { ++s.position; }

// Skips white space; false when the input ends first.
bool skip_space(text_scanner& s) {
    int c;
    while (is_space(c = peek(s)))
        advance(s);
    return c != EOF;
}

enum class outcome { converted, mismatch, input_ended };

// Takes the next character into the number when it is the letter `wanted`
// (lower case). A different character is consumed all the same, as the C
// library does inside "inf" and "nan".
bool take_letter(text_scanner& s, int wanted) {
    const int c = peek(s);
    if (c == EOF)
        return false;
    advance(s);
    if (to_lower(c) != wanted)
        return false;
    s.number.push_back(static_cast<char>(c));
    return true;
}

outcome scan_string(text_scanner& s, char* out, int width) {
    if (!skip_space(s))
        return outcome::input_ended;
    int taken = 0;
    int c;
    while (taken < width && (c = peek(s)) != EOF && !is_space(c)) {
        out[taken++] = static_cast<char>(c);
        advance(s);
    }
    out[taken] = '\0';
    return outcome::converted;
}

// "%i" (base 0: prefix decides) and "%d" (base 10). The value is converted
// as a long and then narrowed to 32 bits, as fscanf stores it into an int.
outcome scan_integer(text_scanner& s, int32_t* out, int base) {
    if (!skip_space(s))
        return outcome::input_ended;
    std::string& text = s.number;
    text.clear();
    int c = peek(s);
    if (c == '-' || c == '+') {
        text.push_back(static_cast<char>(c));
        advance(s);
        c = peek(s);
    }
    if (c == '0') {
        text.push_back('0');
        advance(s);
        c = peek(s);
        if (to_lower(c) == 'x' && (base == 0 || base == 16)) {
            base = 16;
            advance(s); // the 'x' is consumed but not part of the digits
            c = peek(s);
        } else if (base == 0) {
            base = 8;
        }
    }
    if (base == 0)
        base = 10;
    while (c != EOF && (base == 16 ? is_hex_digit(c) : is_digit(c) && c - '0' < base)) {
        text.push_back(static_cast<char>(c));
        advance(s);
        c = peek(s);
    }
    if (text.empty() || (text.size() == 1 && (text[0] == '-' || text[0] == '+')))
        return outcome::mismatch;
    const long value = std::strtol(text.c_str(), nullptr, base);
    *out = static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long>(value)));
    return outcome::converted;
}

// "inf", "infinity" or "nan" after an optional sign; the caller has seen the
// first letter. A partial word is a mismatch that keeps what it consumed.
bool scan_special_float(text_scanner& s) {
    if (to_lower(peek(s)) == 'n')
        return take_letter(s, 'n') && take_letter(s, 'a') && take_letter(s, 'n');
    if (!(take_letter(s, 'i') && take_letter(s, 'n') && take_letter(s, 'f')))
        return false;
    if (to_lower(peek(s)) == 'i')
        return take_letter(s, 'i') && take_letter(s, 'n') && take_letter(s, 'i') && take_letter(s, 't') &&
               take_letter(s, 'y');
    return true;
}

// "%f": collects the characters the C library's scanner accepts, then
// converts them with strtof, which also decides the rounding. Like the C
// library, the conversion succeeds when strtof takes any prefix of what was
// collected ("1e" reads as 1 and the 'e' is gone).
outcome scan_float(text_scanner& s, float* out) {
    if (!skip_space(s))
        return outcome::input_ended;
    std::string& text = s.number;
    text.clear();
    int c = peek(s);
    bool got_sign = false;
    if (c == '-' || c == '+') {
        got_sign = true;
        text.push_back(static_cast<char>(c));
        advance(s);
        c = peek(s);
        if (c == EOF)
            return outcome::mismatch;
    }
    if (to_lower(c) == 'n' || to_lower(c) == 'i') {
        if (!scan_special_float(s))
            return outcome::mismatch;
    } else {
        bool hex = false;
        bool got_digit = false, got_dot = false, got_exponent = false;
        char exponent_char = 'e';
        if (c == '0') {
            text.push_back('0');
            advance(s);
            c = peek(s);
            if (to_lower(c) == 'x') {
                hex = true;
                exponent_char = 'p';
                text.push_back(static_cast<char>(c));
                advance(s);
                c = peek(s);
            } else {
                got_digit = true;
            }
        }
        while (c != EOF) {
            if (is_digit(c) || (!got_exponent && hex && is_hex_digit(c))) {
                got_digit = true;
            } else if (got_exponent && text.back() == exponent_char && (c == '-' || c == '+')) {
            } else if (got_digit && !got_exponent && to_lower(c) == exponent_char) {
                c = exponent_char;
                got_exponent = got_dot = true;
            } else if (!got_dot && c == '.') {
                got_dot = true;
            } else {
                break;
            }
            text.push_back(static_cast<char>(c));
            advance(s);
            c = peek(s);
        }
        const size_t prefix = (got_sign ? 1 : 0) + (hex ? 2 : 0);
        if (text.size() == (got_sign ? 1u : 0u) || (hex && text.size() == prefix))
            return outcome::mismatch;
    }
    char* end = nullptr;
    const int saved_errno = errno;
    const float value = std::strtof(text.c_str(), &end);
    errno = saved_errno;
    if (end == text.c_str())
        return outcome::mismatch;
    *out = value;
    return outcome::converted;
}

} // namespace

void scan_start(text_scanner& scanner, std::FILE* file) {
    scanner.file = file;
    scanner.position = 0;
    scanner.length = 0;
    scanner.buffer_offset = std::ftell(file);
    if (scanner.buffer_offset < 0)
        scanner.buffer_offset = 0;
}

int scan_list(text_scanner& s, const char* format, const scan_target* targets) {
    int assigned = 0;
    const auto input_ended = [&] { return assigned == 0 ? EOF : assigned; };
    bool skip_pending = false;
    for (const char* f = format; *f != '\0'; ++f) {
        if (is_space(static_cast<unsigned char>(*f))) {
            skip_pending = true;
            continue;
        }
        if (*f != '%') {
            if (skip_pending && !skip_space(s))
                return input_ended();
            skip_pending = false;
            const int c = peek(s);
            if (c == EOF)
                return input_ended();
            if (c != static_cast<unsigned char>(*f))
                return assigned;
            advance(s);
            continue;
        }
        skip_pending = false;
        int width = 0;
        while (is_digit(*++f))
            width = width * 10 + (*f - '0');
        outcome result = outcome::mismatch;
        const scan_target& target = targets[assigned];
        switch (*f) {
        case 's':
            result = scan_string(s, static_cast<char*>(target.pointer), width > 0 ? width : INT_MAX);
            break;
        case 'i':
            result = scan_integer(s, static_cast<int32_t*>(target.pointer), 0);
            break;
        case 'd':
            result = scan_integer(s, static_cast<int32_t*>(target.pointer), 10);
            break;
        case 'f':
            result = scan_float(s, static_cast<float*>(target.pointer));
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

bool discard_line(text_scanner& s) {
    int taken = 0;
    int c;
    while (taken < 255 && (c = peek(s)) != EOF) {
        advance(s);
        ++taken;
        if (c == '\n')
            break;
    }
    return taken > 0;
}

long scan_offset(const text_scanner& scanner) {
    return scanner.buffer_offset + static_cast<long>(scanner.position);
}
