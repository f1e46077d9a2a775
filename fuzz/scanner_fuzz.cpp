// Our scanf-style reading against the C library's on the same bytes: a run of
// reads, each one of the ways the ASE reader reads, must give the same result,
// the same values and the same stream position after every read. The first
// bytes of the input choose the reads; the rest is the text. Text after a
// UTF-16 byte-order mark is compared with the C library on its 8-bit form.
#include "fuzz/fuzz_support.h"
#include "mesh/text_scanner.h"

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr size_t selector_bytes = 4;
constexpr int most_reads = 24;

struct read_result {
    int returned = 0;
    int32_t ints[4] = {-7777, -7777, -7777, -7777};
    float floats[3] = {-77.0f, -77.0f, -77.0f};
};

bool same_float(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

bool same(const read_result& a, const read_result& b) {
    if (a.returned != b.returned)
        return false;
    for (int k = 0; k < 4; ++k)
        if (a.ints[k] != b.ints[k])
            return false;
    for (int k = 0; k < 3; ++k)
        if (!same_float(a.floats[k], b.floats[k]))
            return false;
    return true;
}

void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

text_scanner scanner; // large: keep it off the stack
std::FILE* libc_stream = nullptr;
std::FILE* our_stream = nullptr;

// One format read both ways.
template <typename... Out> void compare_scan(const char* format, Out... out_of) {
    read_result expected, actual;
    expected.returned = std::fscanf(libc_stream, format, out_of(expected)...);
    actual.returned = scan(scanner, format, out_of(actual)...);
    check(same(expected, actual));
}

// A record as the reader reads it: the plain pass over the whole line, and
// when that declines, the record number and the values as two reads. The C
// library always takes the two reads.
template <fixed_format line_format, typename... Out>
void compare_record(const char* index_format, const char* values_format, Out... out_of) {
    read_result expected, actual;
    const int index_read = std::fscanf(libc_stream, index_format, &expected.ints[0]);
    const int values_read = std::fscanf(libc_stream, values_format, out_of(expected)...);
    expected.returned = index_read == 1 && values_read == static_cast<int>(sizeof...(Out));
    if (scan_plain<line_format>(scanner, &actual.ints[0], out_of(actual)...)) {
        actual.returned = 1;
    } else {
        const int our_index_read = scan(scanner, index_format, &actual.ints[0]);
        const int our_values_read = scan(scanner, values_format, out_of(actual)...);
        actual.returned =
            our_index_read == 1 && our_values_read == static_cast<int>(sizeof...(Out));
    }
    check(same(expected, actual));
}

auto int_at(int k) {
    return [k](read_result& r) { return &r.ints[k]; };
}
auto float_at(int k) {
    return [k](read_result& r) { return &r.floats[k]; };
}

// A token like "%255s"; the C library's may hold NUL bytes, so its length is
// what the read consumed after the white space.
void compare_token() {
    char expected[256];
    int skipped = 0, consumed = 0;
    const int returned = std::fscanf(libc_stream, " %n%255s%n", &skipped, expected, &consumed);
    const std::string_view token = scan_token(scanner);
    if (returned != 1) {
        check(token.empty());
        return;
    }
    const size_t length = static_cast<size_t>(consumed - skipped);
    check(token.size() == length && std::memcmp(token.data(), expected, length) == 0);
}

// The rest of a line, like fgets into 256 bytes.
void compare_discard() {
    char line[256];
    const bool expected = std::fgets(line, sizeof line, libc_stream) != nullptr;
    check(discard_line(scanner) == expected);
}

void compare_read(uint8_t selector) {
    switch (selector % 17) {
    case 0:
        return compare_scan("%i", int_at(0));
    case 1:
        return compare_scan("%d", int_at(0));
    case 2:
        return compare_scan("%f", float_at(0));
    case 3:
        return compare_scan("%i:", int_at(0));
    case 4:
        return compare_scan("\tA:\t%d B:\t%d C:\t%d", int_at(0), int_at(1), int_at(2));
    case 5:
        return compare_scan("%i %i %i", int_at(0), int_at(1), int_at(2));
    case 6:
        return compare_scan("%f %f", float_at(0), float_at(1));
    case 7:
        return compare_scan("%f %f %f", float_at(0), float_at(1), float_at(2));
    case 8:
        return compare_scan("%i %f %f %f", int_at(0), float_at(0), float_at(1), float_at(2));
    case 9:
        return compare_token();
    case 10:
        return compare_discard();
    case 11:
        return compare_record<"%i%f %f %f">("%i", "%f %f %f", float_at(0), float_at(1),
                                            float_at(2));
    case 12:
        return compare_record<"%i:\tA:\t%d B:\t%d C:\t%d">("%i:", "\tA:\t%d B:\t%d C:\t%d",
                                                           int_at(1), int_at(2), int_at(3));
    case 13:
        return compare_record<"%i%i %i %i">("%i", "%i %i %i", int_at(1), int_at(2), int_at(3));
    default: {
        read_result expected, actual;
        expected.returned =
            std::fscanf(libc_stream, "%i %f %f %f", &expected.ints[0], &expected.floats[0],
                        &expected.floats[1], &expected.floats[2]);
        if (scan_plain<"%i %f %f %f">(scanner, &actual.ints[0], &actual.floats[0],
                                      &actual.floats[1], &actual.floats[2]))
            actual.returned = 4;
        else
            actual.returned = scan(scanner, "%i %f %f %f", &actual.ints[0], &actual.floats[0],
                                   &actual.floats[1], &actual.floats[2]);
        check(same(expected, actual));
    }
    }
}

bool starts_with_mark(const uint8_t* text, size_t size) {
    return size >= 2 &&
           ((text[0] == 0xff && text[1] == 0xfe) || (text[0] == 0xfe && text[1] == 0xff));
}

// The 8-bit text that UTF-16 text after its byte-order mark stands for, as
// the scanner reads it.
std::string eight_bit_form(const uint8_t* text, size_t size) {
    const bool big_endian = text[0] == 0xfe;
    std::string narrow;
    for (size_t i = 2; i + 1 < size; i += 2) {
        const unsigned unit = big_endian ? text[i] << 8 | text[i + 1] : text[i + 1] << 8 | text[i];
        narrow += unit < 128 ? static_cast<char>(unit) : '\x80';
    }
    if (size % 2 != 0)
        narrow += '\x80';
    return narrow;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silence_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < selector_bytes)
        return 0;
    const uint8_t* text = data + selector_bytes;
    const size_t text_size = size - selector_bytes;
    const bool wide = starts_with_mark(text, text_size);
    const std::string narrow = wide ? eight_bit_form(text, text_size) : std::string();
    const uint8_t* libc_text = wide ? reinterpret_cast<const uint8_t*>(narrow.data()) : text;
    const size_t libc_size = wide ? narrow.size() : text_size;
    libc_stream = open_bytes(libc_text, libc_size);
    our_stream = open_bytes(text, text_size);
    check(libc_stream != nullptr && our_stream != nullptr);
    scan_start(scanner, our_stream, "input");
    for (int read = 0; read < most_reads; ++read) {
        compare_read(data[read % selector_bytes]);
        check(std::ftell(libc_stream) == scan_offset(scanner));
        if (std::feof(libc_stream) && scan_offset(scanner) == static_cast<long>(libc_size))
            break;
    }
    std::fclose(libc_stream);
    std::fclose(our_stream);
    return 0;
}
