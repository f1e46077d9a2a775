// A buffered text stream with scanf-style conversions of our own, matching the
// C library's fscanf on the formats the ASE reader uses: white space (any
// amount, including none), literal characters, "%Ns", "%i", "%d" and "%f".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

inline constexpr size_t scan_buffer_size = 256 * 1024;

struct text_scanner {
    std::FILE* file = nullptr;
    size_t position = 0;     // next unread byte in buffer
    size_t length = 0;       // bytes of buffer that hold file data
    long buffer_offset = 0;  // offset in the file of buffer[0]
    bool file_ended = false; // the file has no bytes beyond buffer[length - 1]
    std::string number;      // characters of a number that did not fit the buffer
    char token[255];         // a token that did not fit the buffer
    // File data, then a NUL that stops every scan loop, and room for reading
    // eight bytes at a time up to the end.
    char buffer[scan_buffer_size + 8];
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

// Starts reading `file` from its current position.
void scan_start(text_scanner& scanner, std::FILE* file);

// Runs `format` like fscanf: returns the number of conversions assigned, or
// EOF when the input ended before the first one. Consumes exactly what
// fscanf would, including the characters a failed conversion swallows.
int scan_list(text_scanner& scanner, const char* format, const scan_target* targets);

template <typename... Targets>
int scan(text_scanner& scanner, const char* format, Targets*... targets) {
    const scan_target list[] = {scan_target(targets)..., scan_target(static_cast<char*>(nullptr))};
    return scan_list(scanner, format, list);
}

// Reads the whole format in one pass when every number in it is plain
// ("-12", "0", "55.0000") and every literal is there; false, with nothing
// consumed, when anything else would need the exact conversions of scan().
bool scan_plain_list(text_scanner& scanner, const char* format, const scan_target* targets);

template <typename... Targets>
bool scan_plain(text_scanner& scanner, const char* format, Targets*... targets) {
    const scan_target list[] = {scan_target(targets)..., scan_target(static_cast<char*>(nullptr))};
    return scan_plain_list(scanner, format, list);
}

// Reads one token as "%255s" does: up to 255 characters that are not white
// space. Empty when the input ends first. The text stays valid until the
// next call on the scanner.
std::string_view scan_token(text_scanner& scanner);

// Discards input like fgets into a 256-byte buffer: up to and including the
// next line end, but at most 255 characters. False if nothing was left.
bool discard_line(text_scanner& scanner);

// Offset of the next unread byte from where the scan started.
long scan_offset(const text_scanner& scanner);
