#include "image/tga.h"

#include "image/tga_readers.h"
#include "platform/gl.h"
#include "platform/system.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>

char tga_error[256];

namespace {

constexpr char channel_size_error[] = "TGA: channel sizes other than 8 bits are unimplemented";

struct free_deleter {
    void operator()(unsigned char* bytes) const { std::free(bytes); }
};
using byte_buffer = std::unique_ptr<unsigned char[], free_deleter>;

// The fields of the 18-byte file header that decoding uses.
struct tga_header {
    int id_length;
    int color_map_type; // 0 none, 1 present
    int image_type;
    int color_map_index;  // first colour-map entry stored in the file
    int color_map_length; // entries stored in the file
    int color_map_size;   // bits per entry
    int width;
    int height;
    int bpp;
    int descriptor; // 0x10 rows right to left, 0x20 rows top to bottom
};

// How the pixel data of one image type are laid out and read.
struct pixel_layout {
    uint32_t format = 0;
    int32_t components = 0;
    bool run_length = false;
    bool indexed = false;
};

__attribute__((format(printf, 1, 2))) void progress(const char* format, ...) {
    if (tga_log_level < 1)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
}

// Keeps the reason in tga_error, cut to fit, and reports it at level 1.
// Returns false so that a failing step can return its result.
__attribute__((format(printf, 1, 2))) bool report(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(tga_error, sizeof tga_error, format, arguments);
    va_end(arguments);
    if (tga_log_level >= 1)
        std::printf("%s\n", tga_error);
    return false;
}

bool report_out_of_memory(long long bytes, const char* path) {
    return report("TGA: cannot allocate %lld bytes for \"%s\"", bytes, path);
}

// Pixel data that ran out. The line already ends in a newline and is shown
// as it is.
bool report_short_pixels(int64_t position, int width) {
    std::snprintf(tga_error, sizeof tga_error, "TGA: error reading (ftell == %lld, width=%d)\n",
                  static_cast<long long>(position), width);
    if (tga_log_level >= 1)
        std::printf("%s", tga_error);
    return false;
}

int read_16(const unsigned char* bytes) {
    return bytes[0] + 256 * bytes[1];
}

// Reads the footer for the log only; sets `file_size` for the size checks.
bool read_footer(FILE* stream, const char* path, int64_t& file_size) {
    unsigned char footer[26];
    if (seek_file(stream, -26, SEEK_END) != 0 || std::fread(footer, 1, 26, stream) != 26)
        return report("TGA: Cannot read footer from \"%s\"", path);
    file_size = tell_file(stream);
    progress(std::memcmp(footer + 8, "TRUEVISION-XFILE", 16) == 0 ? "TGA: found New TGA\n"
                                                                  : "TGA: found Original TGA\n");
    return true;
}

bool read_header(FILE* stream, const char* path, tga_header& header) {
    unsigned char bytes[18];
    if (seek_file(stream, 0, SEEK_SET) != 0 || std::fread(bytes, 1, 18, stream) != 18)
        return report("TGA: Cannot read header from \"%s\"", path);
    header = {bytes[0],
              bytes[1],
              bytes[2],
              read_16(bytes + 3),
              read_16(bytes + 5),
              bytes[7],
              read_16(bytes + 12),
              read_16(bytes + 14),
              bytes[16],
              bytes[17]};
    progress("TGA: idLength=%d, colorMapType=%d\n", header.id_length, header.color_map_type);
    return true;
}

// The ID field is only shown, from level 1 on; a failure to show it is not
// fatal, a failure to skip it is.
bool pass_id_field(FILE* stream, const char* path, int id_length) {
    if (id_length == 0)
        return true;
    if (tga_log_level < 1) {
        if (seek_file(stream, id_length, SEEK_CUR) != 0)
            return report("TGA: Cannot skip ID field in \"%s\"", path);
        return true;
    }
    char id[256];
    if (std::fread(id, 1, static_cast<size_t>(id_length), stream) !=
        static_cast<size_t>(id_length)) {
        report("TGA: Cannot read ID field in \"%s\"", path);
        return true;
    }
    id[id_length] = '\0'; // the field carries no terminator of its own
    std::printf("TGA: ID field: \"%*s\"\n", id_length, id);
    return true;
}

bool choose_layout(const tga_header& header, pixel_layout& layout) {
    int type = header.image_type;
    if (type == 9 || type == 10 || type == 11) {
        layout.run_length = true;
        progress("TGA: run-length encoded\n");
        type -= 8;
    }
    switch (type) {
    case 1:
        layout = {GL_COLOR_INDEX, 1, layout.run_length, true};
        progress("TGA: %d bit indexed image (%d bit palette)\n", header.bpp, header.color_map_size);
        if (header.bpp != 8)
            return report(channel_size_error);
        if (header.color_map_type != 1)
            return report("TGA: indexed image has invalid color map type %d\n",
                          header.color_map_type);
        return true;
    case 2:
        if (header.bpp == 32) {
            layout = {GL_BGRA_EXT, 4, layout.run_length, false};
            progress("TGA: %d bit color image with alpha channel\n", header.bpp);
        } else {
            layout = {GL_BGR_EXT, 3, layout.run_length, false};
            progress("TGA: %d bit color image\n", header.bpp);
            if (header.bpp != 24)
                return report(channel_size_error);
        }
        break;
    case 3:
        layout = {GL_LUMINANCE, 1, layout.run_length, false};
        progress("TGA: %d bit grayscale image\n", header.bpp);
        if (header.bpp != 8)
            return report(channel_size_error);
        break;
    default:
        return report("TGA: unrecognized image type %d\n", header.image_type);
    }
    if (header.color_map_type != 0)
        return report("TGA: non-indexed image has invalid color map type %d\n",
                      header.color_map_type);
    return true;
}

// Entries below the first stored index stay black; stored entries turn from
// blue, green, red into red, green, blue.
bool read_color_map(FILE* stream, const tga_header& header, const char* path, byte_buffer& map,
                    int32_t& entries) {
    progress("TGA: reading color map (%d + %d) * (%d / 8)\n", header.color_map_index,
             header.color_map_length, header.color_map_size);
    if (header.color_map_length == 0)
        return report("TGA: invalid color map length %d", header.color_map_length);
    if (header.color_map_size != 24)
        return report(channel_size_error);
    entries = header.color_map_index + header.color_map_length;
    map.reset(static_cast<unsigned char*>(std::calloc(static_cast<size_t>(entries), 3)));
    if (map == nullptr)
        return report_out_of_memory(3LL * entries, path);
    unsigned char* stored = map.get() + 3 * header.color_map_index;
    const size_t length = static_cast<size_t>(header.color_map_length);
    if (std::fread(stored, 3, length, stream) != length)
        return report("TGA: error reading colormap (ftell == %lld)\n",
                      static_cast<long long>(tell_file(stream)));
    for (size_t entry = 0; entry < length; ++entry)
        std::swap(stored[3 * entry], stored[3 * entry + 2]);
    return true;
}

// The fewest bytes that can hold the pixel data: every byte of an
// uncompressed image; for run-length packets, one header and one element for
// every 128 pixels.
long long least_pixel_bytes(const pixel_layout& layout, long long pixel_count) {
    if (!layout.run_length)
        return pixel_count * layout.components;
    return (pixel_count + 127) / 128 * (1 + layout.components);
}

void mirror_row(unsigned char* row, int width, int components) {
    for (int left = 0, right = width - 1; left < right; ++left, --right)
        std::swap_ranges(row + left * components, row + (left + 1) * components,
                         row + right * components);
}

// Reads `height` rows into `pixels`, bottom_first choosing whether the first
// row read becomes the first buffer row or the last.
bool read_rows(FILE* stream, const tga_header& header, const pixel_layout& layout, bool mirror,
               bool bottom_first, unsigned char* pixels) {
    const tga_reader reader = layout.run_length ? rle_fread : std_fread;
    rle_state packets{};
    const size_t row_bytes = static_cast<size_t>(header.width) * layout.components;
    bool complete = true;
    for (int k = 0; k < header.height && complete; ++k) {
        const int row = bottom_first ? k : header.height - 1 - k;
        unsigned char* destination = pixels + row_bytes * static_cast<size_t>(row);
        complete = reader(layout.run_length ? &packets : nullptr, destination, layout.components,
                          header.width, stream) == header.width;
        if (complete && mirror)
            mirror_row(destination, header.width, layout.components);
    }
    std::free(packets.buffer);
    if (!complete)
        return report_short_pixels(tell_file(stream), header.width);
    return true;
}

} // namespace

tga_image* read_tga(FILE* stream, const char* path, bool flip) {
    int64_t file_size = 0;
    tga_header header{};
    if (!read_footer(stream, path, file_size) || !read_header(stream, path, header) ||
        !pass_id_field(stream, path, header.id_length))
        return nullptr;

    progress("TGA: width=%d, height=%d, bpp=%d\n", header.width, header.height, header.bpp);
    if (header.width == 0 || header.height == 0 || header.bpp == 0) {
        report("TGA: width, height, or bpp is zero in \"%s\"", path);
        return nullptr;
    }

    const bool mirror = (header.descriptor & 0x10) != 0;
    bool bottom_first = (header.descriptor & 0x20) == 0;
    if (mirror)
        progress("TGA: horizontal reversed\n");
    if (bottom_first)
        progress("TGA: vertical reversed\n");
    if (flip) {
        progress("TGA: vertical flip requested\n");
        bottom_first = !bottom_first;
    }

    pixel_layout layout;
    if (!choose_layout(header, layout))
        return nullptr;
    byte_buffer color_map;
    int32_t color_map_entries = 0;
    if (layout.indexed && !read_color_map(stream, header, path, color_map, color_map_entries))
        return nullptr;

    // Refuse data too short to ever fill the image before committing memory
    // to it: a header may claim up to 65535 x 65535 x 4 bytes.
    const long long pixel_count = static_cast<long long>(header.width) * header.height;
    const long long pixel_bytes = pixel_count * layout.components;
    const int64_t data_start = tell_file(stream);
    if (data_start < 0 || least_pixel_bytes(layout, pixel_count) > file_size - data_start) {
        report_short_pixels(file_size, header.width);
        return nullptr;
    }
    byte_buffer pixels(static_cast<unsigned char*>(std::malloc(static_cast<size_t>(pixel_bytes))));
    if (pixels == nullptr) {
        report_out_of_memory(pixel_bytes, path);
        return nullptr;
    }
    if (!read_rows(stream, header, layout, mirror, bottom_first, pixels.get()))
        return nullptr;

    // Extra bytes (an extension area, the 2.0 footer) are allowed.
    if (std::fgetc(stream) != EOF)
        progress("TGA: too much input data, ignoring extra...\n");

    auto* image = static_cast<tga_image*>(std::malloc(sizeof(tga_image)));
    if (image == nullptr) {
        report_out_of_memory(static_cast<long long>(sizeof(tga_image)), path);
        return nullptr;
    }
    *image = {header.width,        header.height,
              layout.components,   layout.format,
              color_map_entries,   color_map != nullptr ? static_cast<uint32_t>(GL_RGB) : 0u,
              color_map.release(), pixels.release()};
    return image;
}

tga_image* load_tga(const char* path, tga_load_failure& failure) {
    FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) {
        failure = {"cannot open", std::strerror(errno)};
        std::printf("could not open \"%s\"\n", path);
        return nullptr;
    }
    std::fseek(stream, 0, SEEK_SET);
    tga_image* image = read_tga(stream, path, true);
    std::fclose(stream);
    if (image == nullptr) {
        failure = {"cannot use", tga_error};
        std::printf("not TGA or PCX image\n");
    }
    return image;
}

void free_tga(tga_image* image) {
    if (image == nullptr)
        return;
    std::free(image->color_map);
    std::free(image->pixels);
    std::free(image);
}
