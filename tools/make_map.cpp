// Writes the environment map the viewer reflects on the model: sky, sun,
// mountains and a chequered plain, as a 256 x 256 32-bit true-colour TGA.
// Usage: make_map OUTPUT.tga   (the bundled one: build/tools/make_map assets/map2.tga)
// Pure arithmetic, so the same build always writes the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int size = 256;
constexpr int horizon = 148; // first ground row, counted from the top

struct colour {
    double red, green, blue;
};

colour mix(colour a, colour b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.red + (b.red - a.red) * t, a.green + (b.green - a.green) * t,
            a.blue + (b.blue - a.blue) * t};
}

const colour sky_top{18, 42, 120};
const colour sky_horizon{190, 214, 240};
const colour sun_core{255, 248, 215};
const colour sun_glow{255, 214, 150};
const colour mountain{92, 88, 122};
const colour field_light{92, 160, 64};
const colour field_dark{38, 92, 40};

// Height of the mountain ridge above the horizon, in rows, at column x: a
// few sines, so that the skyline is jagged but wraps around smoothly.
double ridge_height(int x) {
    const double a = 2 * 3.14159265358979323846 * x / size;
    return 14 + 9 * std::sin(3 * a + 0.7) + 5 * std::sin(7 * a + 2.1) + 3 * std::sin(17 * a);
}

colour sky(int x, int y) {
    const double height = static_cast<double>(horizon - y) / horizon; // 1 at the top
    colour c = mix(sky_horizon, sky_top, std::pow(height, 0.7));
    const double dx = x - 176.0, dy = y - 62.0;
    const double distance = std::sqrt(dx * dx + dy * dy);
    if (distance < 15)
        return sun_core;
    c = mix(c, sun_glow, 0.8 * std::exp(-(distance - 15) / 18));
    // Thin cloud bands to give the sky some structure of its own.
    const double band = std::sin(y * 0.21 + std::sin(x * 0.04) * 1.6);
    if (band > 0.9 && y < horizon - 36)
        c = mix(c, colour{245, 245, 250}, (band - 0.9) * 6);
    return c;
}

colour ground(int x, int y) {
    // Rows below the horizon as a plain seen in perspective: depth falls off
    // as 1 / distance below the horizon; columns spread with depth.
    const double below = y - horizon + 1.0;
    const double depth = 40.0 / below;
    const double across = (x - size / 2.0) * depth / 40.0;
    const bool light =
        (static_cast<int>(std::floor(depth)) + static_cast<int>(std::floor(across + 100))) % 2 == 0;
    const colour field = light ? field_light : field_dark;
    return mix(field, sky_horizon, std::min(1.0, depth / 45.0));
}

colour picture(int x, int y) {
    if (y >= horizon)
        return ground(x, y);
    if (horizon - y <= ridge_height(x))
        return mix(mountain, sky_horizon, (horizon - y) / 40.0 * 0.4);
    return sky(x, y);
}

uint8_t to_byte(double value) {
    return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.tga\n", argv[0]);
        return 2;
    }
    // Uncompressed true colour, 32 bits with 8 of alpha, rows top to bottom.
    std::vector<uint8_t> file = {0, 0, 2, 0,           0,         0,           0,         0,  0,
                                 0, 0, 0, size & 0xff, size >> 8, size & 0xff, size >> 8, 32, 0x28};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const colour c = picture(x, y);
            file.insert(file.end(), {to_byte(c.blue), to_byte(c.green), to_byte(c.red), 255});
        }
    const char footer[] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
    file.insert(file.end(), footer, footer + sizeof footer); // with its closing NUL

    FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
