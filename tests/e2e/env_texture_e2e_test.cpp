// The environment map as the viewer meets it at start-up: a missing or
// undecodable "map2.tga" ends the run before any frame, with a line on
// standard error that names the folder searched; any decodable one lets it
// go on.
// gtest goes first: X's headers define a macro None that its headers use.
#include <gtest/gtest.h>

#include "support/viewer_process.h"
#include "support/x_display.h"
#include "tests/fixtures/tga_builder.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A directory with an empty model, for `aseview -m model.ase`.
struct viewer_run {
    viewer_run() { dir.write("model.ase", "*MESH_NUMVERTEX 0\n"); }
    // The directory as the viewer sees it from inside: absolute, links resolved.
    std::string folder() const { return std::filesystem::canonical(dir.path()).string(); }
    temp_dir dir;
};

const char* const map_rule = "; the map is read from the folder the viewer runs in\n";

tga_fields small_map() {
    tga_fields fields;
    fields.image_type = 10;
    fields.width = 3;
    fields.height = 5;
    fields.descriptor = 0x00;
    for (int i = 0; i < 15; ++i)
        fields.pixels.insert(fields.pixels.end(), {uint8_t(i * 16), 80, 200});
    return fields;
}

} // namespace

TEST(EnvTextureStartup, MissingMapEndsWithStatusOneBeforeAnyFrame) {
    test_display();
    viewer_run run;
    const std::string hint = "aseview: cannot open \"map2.tga\" in " + run.folder() +
                             ": No such file or directory" + map_rule;
    viewer_process viewer(ASEVIEW_BINARY, {"-m", "model.ase"}, run.dir.path());
    EXPECT_EQ(viewer.wait_exit(), 1);
    EXPECT_TRUE(ends_with(viewer.output(), "could not open \"map2.tga\"\n")) << viewer.output();
    EXPECT_EQ(viewer.errors(), hint);
    EXPECT_FALSE(run.dir.exists("dump.txt")) << "start-up went past the texture";

    // On one terminal the line on standard error follows the console line.
    viewer_process merged("/bin/sh", {"-c", "exec \"$0\" -m model.ase 2>&1", ASEVIEW_BINARY},
                          run.dir.path());
    EXPECT_EQ(merged.wait_exit(), 1);
    EXPECT_TRUE(ends_with(merged.output(), "could not open \"map2.tga\"\n" + hint))
        << merged.output();
}

TEST(EnvTextureStartup, UndecodableMapEndsWithStatusOneBeforeAnyFrame) {
    test_display();
    tga_fields sixteen_bits = small_map();
    sixteen_bits.bpp = 16;
    const std::string whole = tga_file(small_map());
    const struct {
        const char* name;
        std::string file;
    } cases[] = {
        {"empty", ""},
        {"text", "this is no picture at all, only words"},
        {"16-bit true colour", tga_file(sixteen_bits)},
        {"pixel data cut short", whole.substr(0, whole.size() - 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        viewer_run run;
        run.dir.write("map2.tga", c.file);
        viewer_process viewer(ASEVIEW_BINARY, {"-m", "model.ase"}, run.dir.path());
        EXPECT_EQ(viewer.wait_exit(), 1);
        EXPECT_TRUE(ends_with(viewer.output(), "not TGA or PCX image\n")) << viewer.output();
        // One line, with the decoder's reason.
        const std::string& errors = viewer.errors();
        EXPECT_EQ(
            errors.rfind("aseview: cannot use \"map2.tga\" in " + run.folder() + ": TGA: ", 0), 0u)
            << errors;
        EXPECT_TRUE(ends_with(errors, map_rule)) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_FALSE(run.dir.exists("dump.txt"));
    }
}

TEST(EnvTextureStartup, AnyDecodableMapLetsTheViewerRun) {
    test_display();
    tga_fields greyscale = small_map();
    greyscale.image_type = 3;
    greyscale.bpp = 8;
    greyscale.pixels.resize(15);
    const struct {
        const char* name;
        std::string file;
    } cases[] = {
        {"3 x 5 run-length true colour", tga_file(small_map())},
        {"3 x 5 greyscale", tga_file(greyscale)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        viewer_run run;
        run.dir.write("map2.tga", c.file);
        viewer_process viewer(ASEVIEW_BINARY, {"-m", "model.ase"}, run.dir.path());
        EXPECT_NE(find_window(viewer_window_title), 0u) << viewer.output();
        EXPECT_TRUE(viewer.running()) << viewer.output();
        EXPECT_EQ(viewer.output().find("TGA or PCX"), std::string::npos) << viewer.output();
        EXPECT_EQ(viewer.output().find("error loading map"), std::string::npos) << viewer.output();
    }
}

TEST(EnvTextureStartup, BundledMapLetsTheViewerRun) {
    test_display();
    viewer_run run;
    run.dir.copy_in(ASSETS_DIR "/map2.tga", "map2.tga");
    viewer_process viewer(ASEVIEW_BINARY, {"-m", "model.ase"}, run.dir.path());
    EXPECT_NE(find_window(viewer_window_title), 0u) << viewer.output();
    EXPECT_TRUE(viewer.running()) << viewer.output();
}
