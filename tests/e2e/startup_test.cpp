// The viewer started from a console: command line, model loading, the
// window and the dump files.
// gtest goes first: X's headers define a macro None that its headers use.
#include <gtest/gtest.h>

#include "support/viewer_process.h"
#include "support/x_display.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

const char* const help_text = "Help Option\t**************\n\t-m specfies model to load\n"
                              "\t-morph specfies which model to morph too\n";
const char* const triangle = "*MESH_NUMVERTEX 3\n*MESH_NUMFACES 1\n"
                             "*MESH_VERTEX 0 -40 -40 0\n*MESH_VERTEX 1 40 -40 0\n"
                             "*MESH_VERTEX 2 0 40 1.5\n*MESH_FACE 0: A: 0 B: 1 C: 2\n";

// A square 80 units wide, far to the side of the view, as real exports that
// sit at their place in a level are.
const char* const far_square = "*MESH_NUMVERTEX 4\n*MESH_NUMFACES 2\n"
                               "*MESH_VERTEX 0 1480 -380 40\n*MESH_VERTEX 1 1560 -380 40\n"
                               "*MESH_VERTEX 2 1560 -300 40\n*MESH_VERTEX 3 1480 -300 40\n"
                               "*MESH_FACE 0: A: 0 B: 1 C: 2\n*MESH_FACE 1: A: 0 B: 2 C: 3\n";

bool is_background(uint32_t pixel) {
    return std::abs(red_of(pixel) - 0x33) <= 16 && std::abs(green_of(pixel) - 0x33) <= 16 &&
           std::abs(blue_of(pixel) - 0x33) <= 16;
}

// Pixels of the window that `wanted` picks, once a frame has been drawn (its
// corner shows the background) and more than `enough` of them show, or
// after a few seconds.
template <typename pick> int pixels_where(Window window, int enough, pick wanted) {
    int count = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        const window_image image = capture_window(window);
        count = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                count += wanted(image.at(x, y));
        if (image.width > 0 && is_background(image.at(image.width - 5, image.height - 5)) &&
            count > enough)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return count;
}

int model_pixels(Window window, int enough) {
    return pixels_where(window, enough, [](uint32_t pixel) { return !is_background(pixel); });
}

// A directory holding what the viewer needs next to the model: the map.
void add_map(const temp_dir& dir) {
    const std::string map = ASSETS_DIR "/map2.tga";
    if (std::filesystem::exists(map))
        dir.copy_in(map, "map2.tga");
}

struct failure_case {
    std::vector<std::string> arguments;
    std::string output;
    std::string errors = {}; // standard error: empty, or the one line that follows the output
};

std::string cannot_open(const std::string& path, const std::string& hint = "") {
    return "aseview: cannot open \"" + path + "\": No such file or directory" + hint + "\n";
}

} // namespace

// Each of these ends before GLUT is started: the test runs them without an X
// display, where starting GLUT would fail with a message of its own. A model
// that cannot be opened is named on standard error; when it was the default,
// with the way to view the first file that was given without "-m".
TEST(Startup, CommandLineAndModelFailuresEndWithStatusOneBeforeAnyWindow) {
    const std::string help = help_text;
    const failure_case cases[] = {
        {{"-morph", "b.ase"}, "Must specify first model if choosing morph option\n"},
        {{"-m", "a.ase", "-h"}, "Model to load = a.ase\n" + help},
        {{"-m", "help"}, "Model to load = help\n" + help},
        {{"-m", "a.ase", "-morph", "-h"}, "Model to load = a.ase\nmodel to morph too -h\n" + help},
        {{"a.ase", "help", "-m", "a.ase"}, help},
        {{"-m", "-morph", "b.ase"},
         "Model to load = -morph\nmodel to morph too b.ase\n"
         "File not there or something ;|\n",
         cannot_open("-morph")},
        {{"-m"}, "-m needs a path after it\n"},
        {{"-m", "a.ase", "-morph"}, "Model to load = a.ase\n-morph needs a path after it\n"},
        {{}, "File not there or something ;|\n", cannot_open("simple.ase")},
        {{"-x", "a.ase"},
         "File not there or something ;|\n",
         cannot_open("simple.ase", " (to view a.ase: aseview -m a.ase)")},
        {{"-x", ".", "none.ase", "a b.ase", "a.ase"},
         "File not there or something ;|\n",
         cannot_open("simple.ase", " (to view a b.ase: aseview -m 'a b.ase')")},
        {{"a.ase", "-m", "missing.ase"},
         "Model to load = missing.ase\nFile not there or something ;|\n",
         cannot_open("missing.ase")},
        {{"-m", "a.ase", "-m", "two.ase"},
         "Model to load = a.ase\nModel to load = two.ase\nAmount of Vertices in this mesh 3\n"
         "Amount of faces in this mesh 1\nSorry. only have support for a single mesh\n",
         "aseview: \"two.ase\" holds more than one mesh; to view them all: aseview -all -m "
         "two.ase\n"},
        {{"-m", "two meshes.ase", "-fit"},
         "Model to load = two meshes.ase\nAmount of Vertices in this mesh 3\n"
         "Amount of faces in this mesh 1\nSorry. only have support for a single mesh\n",
         "aseview: \"two meshes.ase\" holds more than one mesh; to view them all: aseview -all "
         "-m 'two meshes.ase'\n"},
        // As the value of "-m" an option is a path; after it, the option.
        {{"-m", "-all", "-all"},
         "Model to load = -all\nFile not there or something ;|\n",
         cannot_open("-all")},
    };
    unsetenv("DISPLAY");
    for (const failure_case& c : cases) {
        temp_dir dir;
        dir.write("a.ase", triangle);
        dir.write("two.ase", std::string(triangle) + triangle);
        dir.write("two meshes.ase", std::string(triangle) + triangle);
        dir.write("a b.ase", triangle);
        viewer_process viewer(ASEVIEW_BINARY, c.arguments, dir.path());
        EXPECT_EQ(viewer.wait_exit(), 1) << c.output;
        EXPECT_EQ(viewer.output(), c.output);
        EXPECT_EQ(viewer.errors(), c.errors) << c.output;
        EXPECT_FALSE(dir.exists("dump.txt")) << c.output;
    }
}

TEST(Startup, LoadsTheGivenModelOpensTheWindowAndWritesTheDumps) {
    test_display();
    temp_dir dir;
    add_map(dir);
    dir.write("a.ase", triangle);
    dir.write("b.ase", "not even a model");
    viewer_process viewer(ASEVIEW_BINARY, {"-m", "a.ase", "-morph", "b.ase"}, dir.path());
    const Window window = find_window(viewer_window_title);
    ASSERT_NE(window, 0u) << viewer.output() << viewer.errors();
    ASSERT_TRUE(viewer.wait_output("vertices in this mesh is\t3\n"));
    EXPECT_EQ(viewer.output(), "Model to load = a.ase\nmodel to morph too b.ase\n"
                               "Amount of Vertices in this mesh 3\nAmount of faces in this mesh 1\n"
                               "Mesh Data\nThe amount of faces in this mesh is\t1\n"
                               "The amount of vertices in this mesh is\t3\n");
    const window_image image = capture_window(window);
    EXPECT_EQ(image.width, 640);
    EXPECT_EQ(image.height, 480);
    const std::string dump = "-----MAX_FACES = 1\n"
                             "vertex pos = 0\n X=-40.000000\n\t\t\t\tY=-40.000000\n\tZ=-0.000000\n"
                             "vertex pos = 1\n X=40.000000\n\t\t\t\tY=-40.000000\n\tZ=-0.000000\n"
                             "vertex pos = 2\n X=0.000000\n\t\t\t\tY=40.000000\n\tZ=-1.500000\n";
    EXPECT_EQ(eventual_content(dir, "dump.txt", dump), dump);
    const std::string norm =
        "face num=0\nX Comp = 0.000000\tY Comp = 0.000000\tZ Comp 0.000000\n\n";
    EXPECT_EQ(eventual_content(dir, "norm.txt", norm), norm);
    EXPECT_TRUE(viewer.running());
}

TEST(Startup, WithoutAModelOptionLoadsSimpleAseAndIgnoresUnknownArguments) {
    test_display();
    temp_dir dir;
    add_map(dir);
    dir.copy_in(ASSETS_DIR "/simple.ase", "simple.ase");
    dir.write("other.ase", triangle);
    viewer_process viewer(ASEVIEW_BINARY, {"-x", "other.ase"}, dir.path());
    ASSERT_NE(find_window(viewer_window_title), 0u) << viewer.output() << viewer.errors();
    ASSERT_TRUE(viewer.wait_output("vertices in this mesh is\t1800\n"));
    EXPECT_EQ(viewer.output().rfind("Amount of Vertices in this mesh 1800\n", 0), 0u)
        << viewer.output();
    EXPECT_EQ(viewer.errors(), "") << "an ignored argument spoke up while start-up succeeded";
}

TEST(Startup, AFileWithoutAMeshStillOpensTheWindow) {
    test_display();
    temp_dir dir;
    add_map(dir);
    dir.write("empty.ase", "*3DSMAX_ASCIIEXPORT 200\n");
    viewer_process viewer(ASEVIEW_BINARY, {"-m", "empty.ase"}, dir.path());
    ASSERT_NE(find_window(viewer_window_title), 0u) << viewer.output() << viewer.errors();
    ASSERT_TRUE(viewer.wait_output("vertices in this mesh is\t0\n"));
    EXPECT_EQ(eventual_content(dir, "dump.txt", "-----MAX_FACES = 0\n"), "-----MAX_FACES = 0\n");
}

// An export cut off part-way declares more records than it holds: it opens
// with them all, those it does not hold zeroed, and the dumps show them all.
TEST(Startup, ACutOffExportOpensWithTheCountsItDeclares) {
    test_display();
    temp_dir dir;
    add_map(dir);
    dir.copy_in(ASSETS_DIR "/simple.ase", "whole.ase");
    dir.write("cut.ase", dir.read("whole.ase").substr(0, 3000));
    viewer_process viewer(ASEVIEW_BINARY, {"-m", "cut.ase"}, dir.path());
    ASSERT_NE(find_window(viewer_window_title), 0u) << viewer.output() << viewer.errors();
    ASSERT_TRUE(viewer.wait_output("vertices in this mesh is\t1800\n")) << viewer.output();
    std::string norm;
    for (int face = 0; face < 3600; ++face)
        norm += "face num=" + std::to_string(face) +
                "\nX Comp = 0.000000\tY Comp = 0.000000\tZ Comp 0.000000\n\n";
    EXPECT_EQ(eventual_content(dir, "norm.txt", norm), norm);
}

// A model that the default view does not show gets one line on standard
// error, in the file's own coordinates, and the console and the exit stay as
// they were; with "-fit" there is no line and the model fills a good part of
// the window (the square lies flat in the file, so the upright view sees it
// from 25 degrees above).
TEST(Startup, AModelOutOfViewIsNamedOnStandardErrorAndFitFramesIt) {
    test_display();
    temp_dir dir;
    add_map(dir);
    dir.write("far.ase", far_square);
    const std::string console = "Model to load = far.ase\nAmount of Vertices in this mesh 4\n"
                                "Amount of faces in this mesh 2\nMesh Data\n"
                                "The amount of faces in this mesh is\t2\n"
                                "The amount of vertices in this mesh is\t4\n";
    const int window_pixels = 640 * 480;
    {
        viewer_process viewer(ASEVIEW_BINARY, {"-m", "far.ase"}, dir.path());
        const Window window = find_window(viewer_window_title);
        ASSERT_NE(window, 0u) << viewer.output() << viewer.errors();
        ASSERT_TRUE(viewer.wait_output(console)) << viewer.output();
        EXPECT_EQ(viewer.errors(), "aseview: the model lies outside the view (centre 1520, "
                                   "-340, 40; size 80 x 80 x 0); -fit frames it\n");
        EXPECT_LT(model_pixels(window, 0), window_pixels / 50) << "only the panel";
        type_key(window, "q");
        EXPECT_EQ(viewer.wait_exit(), 1);
        EXPECT_EQ(viewer.output(), console + "free ants\n");
    }
    viewer_process viewer(ASEVIEW_BINARY, {"-fit", "-m", "far.ase"}, dir.path());
    const Window window = find_window(viewer_window_title);
    ASSERT_NE(window, 0u) << viewer.output() << viewer.errors();
    ASSERT_TRUE(viewer.wait_output(console)) << viewer.output();
    EXPECT_GT(model_pixels(window, window_pixels / 10), window_pixels / 10);
    EXPECT_EQ(viewer.errors(), "");
}

// A real export of three meshes, with "-all" and "-fit" among the other
// arguments: the count lines of each mesh, then the merged mesh in the
// dumps and in the middle of the window, and no line on standard error.
TEST(Startup, EveryMeshOfARealExportIsShownFramedWithAllAndFit) {
    test_display();
    temp_dir dir;
    add_map(dir);
    dir.copy_in(REAL_FIXTURES_DIR "/cafu-box1a.ase", "box.ase");
    viewer_process viewer(ASEVIEW_BINARY, {"-all", "-m", "box.ase", "-fit"}, dir.path());
    const Window window = find_window(viewer_window_title);
    ASSERT_NE(window, 0u) << viewer.output() << viewer.errors();
    ASSERT_TRUE(viewer.wait_output("vertices in this mesh is\t16\n")) << viewer.output();
    EXPECT_EQ(viewer.output(), "Model to load = box.ase\n"
                               "Amount of Vertices in this mesh 8\nAmount of faces in this mesh 8\n"
                               "Amount of Vertices in this mesh 4\nAmount of faces in this mesh 2\n"
                               "Amount of Vertices in this mesh 4\nAmount of faces in this mesh 2\n"
                               "Mesh Data\nThe amount of faces in this mesh is\t12\n"
                               "The amount of vertices in this mesh is\t16\n");
    // The first frame comes after the dumps.
    const int window_pixels = 640 * 480;
    EXPECT_GT(model_pixels(window, window_pixels / 10), window_pixels / 10);
    // The last vertex of the third mesh, its vertex 3, is vertex 15 of the whole.
    const std::string last_vertex =
        "vertex pos = 15\n X=-3.900600\n\t\t\t\tY=-3.900600\n\tZ=4.399400\n";
    const std::string dump = dir.read("dump.txt");
    EXPECT_EQ(dump.rfind("-----MAX_FACES = 12\n", 0), 0u) << dump;
    EXPECT_EQ(dump.substr(dump.size() - std::min(dump.size(), last_vertex.size())), last_vertex);
    EXPECT_EQ(viewer.errors(), "");
}

// A real crate of three meshes and three materials, each named like a path
// in its game tree whose last part is a PNG beside the model: with
// "-materials" the crate shows the wood of its textures, not its white
// diffuse colour nor the default yellow, and no texture is reported.
TEST(Startup, ARealTexturedModelShowsItsTexturesWithMaterials) {
    test_display();
    temp_dir dir;
    add_map(dir);
    const std::string model =
        REAL_TEXTURED_DIR "/cafu/Games/DeathMatch/Models/TechDemo/Crates/box4.ase";
    viewer_process viewer(ASEVIEW_BINARY, {"-all", "-fit", "-materials", "-m", model}, dir.path());
    const Window window = find_window(viewer_window_title);
    ASSERT_NE(window, 0u) << viewer.output() << viewer.errors();
    ASSERT_TRUE(viewer.wait_output("vertices in this mesh is\t16\n")) << viewer.output();
    const auto wood = [](uint32_t pixel) {
        return red_of(pixel) > green_of(pixel) + 15 && red_of(pixel) > blue_of(pixel) + 40;
    };
    const int window_pixels = 640 * 480;
    EXPECT_GT(pixels_where(window, window_pixels / 8, wood), window_pixels / 8);
    EXPECT_EQ(viewer.errors(), "");
    EXPECT_TRUE(viewer.running());
}

// A material whose image is nowhere: one line on standard error names it and
// where it was looked for, the console is as without "-materials", and the
// viewer goes on with the material's diffuse green.
TEST(Startup, AMissingTextureIsNamedAndTheModelShowsItsColour) {
    test_display();
    temp_dir dir;
    add_map(dir);
    dir.write("crate.ase", std::string("*MATERIAL_LIST {\n*MATERIAL_COUNT 1\n*MATERIAL 0 {\n"
                                       "*MATERIAL_NAME \"crate\"\n"
                                       "*MATERIAL_DIFFUSE 0.1 0.8 0.1\n*MAP_DIFFUSE {\n"
                                       "*BITMAP \"maps\\missing_crate.png\"\n}\n}\n}\n"
                                       "*GEOMOBJECT {\n*MESH {\n") +
                               triangle +
                               "*MESH_NUMTVERTEX 3\n*MESH_TVERTLIST {\n*MESH_TVERT 0 0 0 0\n"
                               "*MESH_TVERT 1 1 0 0\n*MESH_TVERT 2 0 1 0\n}\n"
                               "*MESH_NUMTVFACES 1\n*MESH_TFACELIST {\n*MESH_TFACE 0 0 1 2\n}\n"
                               "}\n*MATERIAL_REF 0\n}\n");
    viewer_process viewer(ASEVIEW_BINARY, {"-materials", "-m", "crate.ase"}, dir.path());
    const Window window = find_window(viewer_window_title);
    ASSERT_NE(window, 0u) << viewer.output() << viewer.errors();
    const std::string console = "Model to load = crate.ase\nAmount of Vertices in this mesh 3\n"
                                "Amount of faces in this mesh 1\nMesh Data\n"
                                "The amount of faces in this mesh is\t1\n"
                                "The amount of vertices in this mesh is\t3\n";
    ASSERT_TRUE(viewer.wait_output(console)) << viewer.output();
    const auto green = [](uint32_t pixel) {
        return green_of(pixel) > 150 && red_of(pixel) < 60 && blue_of(pixel) < 60;
    };
    EXPECT_GT(pixels_where(window, 2000, green), 2000);
    const std::string errors = viewer.errors();
    EXPECT_EQ(errors.rfind("aseview: ", 0), 0u) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find("missing_crate.png"), std::string::npos) << errors;
    EXPECT_NE(errors.find(dir.path()), std::string::npos) << "where it looked: " << errors;
    type_key(window, "q");
    EXPECT_EQ(viewer.wait_exit(), 1);
    EXPECT_EQ(viewer.output(), console + "free ants\n");
}
