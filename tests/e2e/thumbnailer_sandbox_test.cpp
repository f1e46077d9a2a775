// The thumbnailer as a file manager runs it: inside bwrap with no display,
// no GPU device, read-only system folders, the model bound read-only and
// only the output folder writable.
#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "support/viewer_process.h"
#include "tools/file_manager_sandbox.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <png.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// A square 80 units wide far to the side of the origin: drawn only if the
// thumbnail frames the model as "-fit" does.
const char* const far_square = "*MESH_NUMVERTEX 4\n*MESH_NUMFACES 2\n"
                               "*MESH_VERTEX 0 1480 -380 40\n*MESH_VERTEX 1 1560 -380 40\n"
                               "*MESH_VERTEX 2 1560 -300 40\n*MESH_VERTEX 3 1480 -300 40\n"
                               "*MESH_FACE 0: A: 0 B: 1 C: 2\n*MESH_FACE 1: A: 0 B: 2 C: 3\n";

// Counts far beyond the file's length and faces whose corners lie outside
// the vertices: nothing to draw, and nothing may be allocated for the counts.
const char* const hostile = "*MESH_NUMVERTEX 2147483647\n*MESH_NUMFACES 2147483647\n"
                            "*MESH_VERTEX 0 1 2 3\n*MESH_FACE 0: A: 0 B: 7 C: -9\n"
                            "*MESH_FACE 2147483646: A: 2147483646 B: 1 C: 0\n";

struct thumbnail {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
    uint8_t alpha(int x, int y) const { return rgba[(static_cast<size_t>(y) * width + x) * 4 + 3]; }
};

bool read_png(const std::string& path, thumbnail& image) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&png, path.c_str()) == 0)
        return false;
    png.format = PNG_FORMAT_RGBA;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgba.resize(PNG_IMAGE_SIZE(png));
    return png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr) != 0;
}

class ThumbnailerSandbox : public ::testing::Test {
  protected:
    temp_dir input;  // the models, bound read-only
    temp_dir output; // the one writable folder

    // Runs the thumbnailer in the sandbox; its exit status, or -1 when it
    // ended by a signal or took over the time a file manager would wait.
    int run(const std::string& size, const std::string& model, double timeout = 20) {
        std::vector<std::string> arguments = sandbox();
        arguments.insert(arguments.end(),
                         {"--bind", output.path(), output.path(), THUMBNAILER_BINARY, size, model,
                          output.file("thumb.png")});
        return run_bwrap(arguments, timeout);
    }

    // The same with a full disk: the output folder a tmpfs of 8 kB, which a
    // shell lists after the thumbnailer ends, since it goes with the sandbox.
    int run_into_full_folder(const std::string& model) {
        std::vector<std::string> arguments = sandbox();
        arguments.insert(arguments.end(),
                         {"--size", "8192", "--tmpfs", "/out", "/bin/sh", "-c",
                          "\"$0\" 512 \"$1\" /out/thumb.png; status=$?; ls -A /out; exit $status",
                          THUMBNAILER_BINARY, model});
        return run_bwrap(arguments, 20);
    }

    // A sanitized build's options pass the cleared environment, so that the
    // thumbnailer runs under them as the test does (the GL libraries keep
    // memory to the end, which the leak check must not count).
    std::vector<std::string> sandbox() const {
        std::vector<std::string> arguments = file_manager_sandbox(THUMBNAILER_BINARY, input.path());
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"})
            if (const char* value = std::getenv(name))
                arguments.insert(arguments.end(), {"--setenv", name, value});
        return arguments;
    }

    int run_bwrap(const std::vector<std::string>& arguments, double timeout) {
        viewer_process sandboxed("/usr/bin/bwrap", arguments, output.path());
        const auto start = std::chrono::steady_clock::now();
        const int status = sandboxed.wait_exit(timeout);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        printed = sandboxed.output();
        errors = printed + sandboxed.errors();
        return status;
    }

    std::vector<std::string> output_files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(output.path()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    double seconds = 0;
    std::string printed; // what the last run printed on standard output
    std::string errors;  // what the last run printed, both streams
};

TEST_F(ThumbnailerSandbox, DrawsTheFramedModelOnATransparentSquare) {
    struct case_t {
        const char* name;
        std::string path;
        int size;
    };
    input.write("far_square.ase", far_square);
    const case_t cases[] = {{"bundled", ASSETS_DIR "/simple.ase", 256},
                            {"real, several meshes", REAL_FIXTURES_DIR "/cafu-box1a.ase", 128},
                            {"far from the origin", input.file("far_square.ase"), 64}};
    for (const case_t& one : cases) {
        SCOPED_TRACE(one.name);
        const std::string copy = input.file("model.ase");
        std::filesystem::copy_file(one.path, copy,
                                   std::filesystem::copy_options::overwrite_existing);
        ASSERT_EQ(run(std::to_string(one.size), copy), 0) << errors;
        EXPECT_EQ(output_files(), std::vector<std::string>{"thumb.png"});
        thumbnail image;
        ASSERT_TRUE(read_png(output.file("thumb.png"), image));
        EXPECT_EQ(image.width, one.size);
        EXPECT_EQ(image.height, one.size);
        EXPECT_EQ(image.alpha(0, 0), 0) << "the background is not transparent";
        int opaque = 0;
        int low_x = image.width;
        int high_x = -1;
        int low_y = image.height;
        int high_y = -1;
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                if (image.alpha(x, y) != 255)
                    continue;
                ++opaque;
                low_x = std::min(low_x, x);
                high_x = std::max(high_x, x);
                low_y = std::min(low_y, y);
                high_y = std::max(high_y, y);
            }
        }
        EXPECT_GT(opaque, image.width * image.height / 20) << "too little of the model drawn";
        // Fitted, the model spans about half the square or more.
        EXPECT_GT(std::max(high_x - low_x, high_y - low_y), one.size * 2 / 5);
        std::filesystem::remove(output.file("thumb.png"));
    }
}

// Each refusal ends quickly with its status, says why and
// leaves the output folder empty: no PNG, whole or partial, and no temporary.
TEST_F(ThumbnailerSandbox, RefusesBadInputLeavingNoFile) {
    input.write("text.ase", "*3DSMAX_ASCIIEXPORT 200\n*COMMENT \"no mesh here\"\n");
    input.write("hostile.ase", hostile);
    input.write("far_square.ase", far_square);
    ASSERT_EQ(run("32", input.file("far_square.ase")), 0) << errors;
    std::filesystem::rename(output.file("thumb.png"), input.file("picture.ase"));
    ASSERT_EQ(mkfifo(input.file("fifo.ase").c_str(), 0600), 0);
    struct case_t {
        const char* name;
        const char* size;
        std::string model;
        int status;
    };
    const case_t cases[] = {
        {"missing file", "128", input.file("missing.ase"), 1},
        {"no mesh", "128", input.file("text.ase"), 1},
        {"hostile counts and indices", "128", input.file("hostile.ase"), 1},
        {"a PNG named .ase", "128", input.file("picture.ase"), 1},
        {"a pipe that never ends", "128", input.file("fifo.ase"), 1},
        {"a folder", "128", input.path(), 1},
        {"size not a number", "big", input.file("far_square.ase"), 2},
        {"size with trailing letters", "128px", input.file("far_square.ase"), 2},
        {"size too large", "100000", input.file("far_square.ase"), 2},
    };
    for (const case_t& one : cases) {
        SCOPED_TRACE(one.name);
        EXPECT_EQ(run(one.size, one.model), one.status) << errors;
        EXPECT_LT(seconds, 10.0);
        EXPECT_NE(errors, "") << "no reason given";
        EXPECT_EQ(output_files(), std::vector<std::string>{});
    }
    // A PNG that does not fit is never left half-written, nor its temporary.
    input.copy_in(ASSETS_DIR "/simple.ase", "simple.ase");
    EXPECT_EQ(run_into_full_folder(input.file("simple.ase")), 3) << errors;
    EXPECT_NE(errors.find("Write Error"), std::string::npos) << errors;
    EXPECT_EQ(printed.find(".png"), std::string::npos) << printed;
}

} // namespace
