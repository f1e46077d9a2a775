#include "mesh/mesh_dump.h"

#include "mesh/mesh_store.h"

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

__extension__ typedef unsigned __int128 uint128;

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

// Writes exactly `count` decimal digits of `value`, with leading zeros.
char* write_digits(char* out, uint64_t value, int count) {
    char* digit = out + count;
    while (digit - out >= 2) {
        digit -= 2;
        std::memcpy(digit, digit_pairs + value % 100 * 2, 2);
        value /= 100;
    }
    if (digit != out)
        *out = static_cast<char>('0' + value % 10);
    return out + count;
}

char* write_unsigned(char* out, uint64_t value) {
    int count = 1;
    for (uint64_t bound = 10; count < 20 && value >= bound; bound *= 10)
        ++count;
    return write_digits(out, value, count);
}

char* write_int(char* out, int32_t value) {
    if (value < 0)
        *out++ = '-';
    return write_unsigned(out, value < 0 ? 0 - uint64_t(int64_t(value)) : uint64_t(value));
}

// Integers from 2^64 up to FLT_MAX (39 digits), in pieces of 19 digits.
char* write_wide(char* out, uint128 value) {
    constexpr uint64_t piece = 10000000000000000000ull;
    const uint64_t low = uint64_t(value % piece);
    value /= piece;
    const uint64_t middle = uint64_t(value % piece);
    const uint64_t high = uint64_t(value / piece);
    if (high != 0) {
        out = write_unsigned(out, high);
        out = write_digits(out, middle, 19);
    } else {
        out = write_unsigned(out, middle);
    }
    return write_digits(out, low, 19);
}

template <size_t size> char* put(char* out, const char (&text)[size]) {
    std::memcpy(out, text, size - 1);
    return out + size - 1;
}

} // namespace

char* format_float(char* out, float value) {
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    const uint32_t biased_exponent = bits >> 23 & 0xff;
    uint64_t mantissa = bits & 0x7fffff;
    *out = '-';
    out += bits >> 31;
    if (biased_exponent == 0xff)
        return mantissa != 0 ? put(out, "nan") : put(out, "inf");
    // The value is mantissa * 2^exponent exactly.
    int exponent = -149;
    if (biased_exponent != 0) {
        mantissa |= 0x800000;
        exponent = int(biased_exponent) - 150;
    }
    if (exponent >= 0) {
        out = exponent <= 40 ? write_unsigned(out, mantissa << exponent)
                             : write_wide(out, uint128(mantissa) << exponent);
        return put(out, ".000000");
    }
    // Below 2^24 the value times 10^6 fits in 64 bits (under 2^44); past a
    // shift of 44 bits it is under one half and rounds to zero.
    const int shift = -exponent;
    if (shift > 44)
        return put(out, "0.000000");
    const uint64_t scaled = mantissa * 1000000;
    uint64_t millionths = scaled >> shift;
    const uint64_t rest = scaled & ((uint64_t(1) << shift) - 1);
    // Above one half rounds up, exactly one half only to an even result.
    millionths += rest + (millionths & 1) > uint64_t(1) << (shift - 1);
    const uint64_t whole = millionths / 1000000;
    const uint64_t fraction = millionths - whole * 1000000;
    if (whole < 10) {
        *out++ = static_cast<char>('0' + whole);
    } else if (whole < 100) {
        std::memcpy(out, digit_pairs + whole * 2, 2);
        out += 2;
    } else {
        out = write_unsigned(out, whole);
    }
    *out = '.';
    std::memcpy(out + 1, digit_pairs + fraction / 10000 * 2, 2);
    std::memcpy(out + 3, digit_pairs + fraction / 100 % 100 * 2, 2);
    std::memcpy(out + 5, digit_pairs + fraction % 100 * 2, 2);
    return out + 7;
}

namespace {

// The dumps' text gathers here and goes to the file in large writes.
constexpr size_t dump_buffer_size = 1 << 20;
char dump_buffer[dump_buffer_size];

// Room one record needs at most: three floats, an index and the labels.
constexpr size_t record_room = 3 * float_text_max + 128;

struct dump_file {
    const char* name;
    std::FILE* stream;
    char* end = dump_buffer; // where the next text goes
    bool failed = false;
};

void report_write_error(dump_file& dump, int error) {
    std::printf("error writing \"%s\": %s\n", dump.name, std::strerror(error));
    dump.failed = true;
}

bool flush_dump(dump_file& dump) {
    const size_t length = size_t(dump.end - dump_buffer);
    dump.end = dump_buffer;
    if (std::fwrite(dump_buffer, 1, length, dump.stream) != length)
        report_write_error(dump, errno);
    return !dump.failed;
}

// Makes room for one more record; false once the file has failed.
bool room_for_record(dump_file& dump) {
    return size_t(dump_buffer + dump_buffer_size - dump.end) >= record_room || flush_dump(dump);
}

void close_dump(dump_file& dump) {
    if (!dump.failed && flush_dump(dump) && std::fflush(dump.stream) != 0)
        report_write_error(dump, errno);
    if (std::fclose(dump.stream) != 0 && !dump.failed)
        report_write_error(dump, errno);
}

} // namespace

void dump_data() {
    std::printf("Mesh Data\n");
    std::printf("The amount of faces in this mesh is\t%i\n", mesh_store.num_faces);
    std::printf("The amount of vertices in this mesh is\t%i\n", mesh_store.num_vertex);
    dump_file dump{"dump.txt", std::fopen("dump.txt", "w+")};
    if (dump.stream == nullptr) {
        std::printf("PROBLEM\n");
        return;
    }
    char* out = put(dump.end, "-----MAX_FACES = ");
    out = write_int(out, mesh_store.num_faces);
    dump.end = put(out, "\n");
    for (int32_t i = 0; i < mesh_store.num_vertex && room_for_record(dump); ++i) {
        const float* pos = mesh_store.v_data[i].pos;
        out = write_int(put(dump.end, "vertex pos = "), i);
        out = format_float(put(out, "\n X="), pos[0]);
        out = format_float(put(out, "\n\t\t\t\tY="), pos[1]);
        out = format_float(put(out, "\n\tZ="), pos[2]);
        dump.end = put(out, "\n");
    }
    close_dump(dump);
}

void dump_norm() {
    dump_file dump{"norm.txt", std::fopen("norm.txt", "w+")};
    if (dump.stream == nullptr) {
        std::printf("error in dump_norm()\n");
        std::exit(1);
    }
    for (int32_t i = 0; i < mesh_store.num_faces && room_for_record(dump); ++i) {
        const float* norm = mesh_store.f_list[i].norm;
        char* out = write_int(put(dump.end, "face num="), i);
        out = format_float(put(out, "\nX Comp = "), norm[0]);
        out = format_float(put(out, "\tY Comp = "), norm[1]);
        out = format_float(put(out, "\tZ Comp "), norm[2]);
        dump.end = put(out, "\n\n");
    }
    close_dump(dump);
}

void dump_vnorm() {
    dump_file dump{"vnorml.txt", std::fopen("vnorml.txt", "w+")};
    if (dump.stream == nullptr) {
        std::printf("error in dump_vnorm(): cannot open \"vnorml.txt\"\n");
        return;
    }
    for (int32_t i = 0; i < mesh_store.num_vertex && room_for_record(dump); ++i) {
        const float* norm = mesh_store.v_data[i].norm;
        char* out = write_int(put(dump.end, "position = "), i);
        out = format_float(put(out, "\t x = "), norm[0]);
        out = format_float(put(out, "\t y = "), norm[1]);
        out = format_float(put(out, "\t z = "), norm[2]);
        dump.end = put(out, "\n");
    }
    close_dump(dump);
}
