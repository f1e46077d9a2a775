#include "image/png_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The mode a plain fopen would give a new file, where mkstemp gives 0600.
void set_created_mode(int descriptor) {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
}

// libpng's simplified writer reports failure by its return value, so no
// longjmp passes through this code.
bool write_png_stream(std::FILE* stream, const uint8_t* rgba, int width, int height,
                      std::string& failure) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    const int written = png_image_write_to_stdio(&image, stream, 0, rgba, 0, nullptr);
    if (written == 0) {
        failure = std::string("libpng: ") + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

} // namespace

bool write_png_file(const char* path, const uint8_t* rgba, int width, int height,
                    std::string& failure) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.parent_path();
    std::string temporary = (folder.empty() ? std::filesystem::path(".") : folder) /
                            ("." + target.filename().string() + ".XXXXXX");
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        failure = "cannot make a file in the output folder: " + std::string(std::strerror(errno));
        return false;
    }
    set_created_mode(descriptor);
    std::FILE* stream = fdopen(descriptor, "wb");
    if (stream == nullptr) {
        failure = "cannot write the output: " + std::string(std::strerror(errno));
        close(descriptor);
        unlink(temporary.c_str());
        return false;
    }
    bool written = write_png_stream(stream, rgba, width, height, failure);
    // A full disk may show only when the buffered tail is flushed on close.
    if (std::fclose(stream) != 0 && written) {
        failure = "cannot write the output: " + std::string(std::strerror(errno));
        written = false;
    }
    if (written && std::rename(temporary.c_str(), path) != 0) {
        failure = "cannot put the output in place: " + std::string(std::strerror(errno));
        written = false;
    }
    if (!written)
        unlink(temporary.c_str());
    return written;
}
