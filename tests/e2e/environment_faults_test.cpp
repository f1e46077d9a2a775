// Faults around the viewer rather than in its files: closed standard
// streams, read errors, a temporary copy that cannot be written, a full disk
// and memory running out. Each is reported, never taken for success.
// gtest goes first: X's headers define a macro None that its headers use.
#include <gtest/gtest.h>

#include "support/viewer_process.h"
#include "support/x_display.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char* const triangle = "*MESH_NUMVERTEX 3\n*MESH_NUMFACES 1\n"
                             "*MESH_VERTEX 0 -40 -40 0\n*MESH_VERTEX 1 40 -40 0\n"
                             "*MESH_VERTEX 2 0 40 1.5\n*MESH_FACE 0: A: 0 B: 1 C: 2\n";
const char* const dump_names[] = {"dump.txt", "norm.txt", "vnorml.txt"};

// A directory holding the map and the given model as "m.ase".
void prepare(const temp_dir& dir, const std::string& model) {
    dir.copy_in(ASSETS_DIR "/map2.tga", "map2.tga");
    dir.write("m.ase", model);
}

// The viewer with the fault shim preloaded and `settings` in its environment.
std::vector<std::string> with_shim(const std::vector<std::string>& settings,
                                   const std::vector<std::string>& arguments) {
    std::vector<std::string> command = {"LD_PRELOAD=" FAULT_SHIM, "FAULT_PATH=m.ase"};
    command.insert(command.end(), settings.begin(), settings.end());
    command.push_back(ASEVIEW_BINARY);
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

// The sanitizers' runtime must own the C library's allocation and stdio
// entry points, so the shim cannot be put in front of a sanitized viewer.
bool shim_usable() {
#ifdef ASEVIEW_SANITIZED
    return false;
#else
    return true;
#endif
}

struct read_failure {
    const char* what;
    std::string program;
    std::vector<std::string> arguments;
    std::string output;
};

} // namespace

// Each ends before GLUT starts (the test runs without a display), and the
// dumps of an earlier run are left as they were.
TEST(EnvironmentFaults, ModelThatCannotBeReadWhollyEndsStartUpBeforeAnyWindowOrDump) {
    const std::string simple = ASSETS_DIR "/simple.ase";
    std::vector<read_failure> cases = {
        {"a directory",
         ASEVIEW_BINARY,
         {"-m", "d"},
         "Model to load = d\ncannot read \"d\": Is a directory\n"},
        {"a pipe whose copy passes the file-size limit",
         "/bin/sh",
         {"-c", "cat m.ase | (ulimit -f 64; TMPDIR=tmp exec \"$0\" -m /dev/stdin)", ASEVIEW_BINARY},
         "Model to load = /dev/stdin\n"
         "cannot copy \"/dev/stdin\" to a temporary file in \"tmp\": File too large\n"},
    };
    if (shim_usable())
        cases.push_back({"an I/O error part-way", "/usr/bin/env",
                         with_shim({"FAULT_READ_LIMIT=300000"}, {"-m", "m.ase"}),
                         "Model to load = m.ase\nAmount of Vertices in this mesh 1800\n"
                         "Amount of faces in this mesh 3600\n"
                         "cannot read \"m.ase\": Input/output error\n"});
    unsetenv("DISPLAY");
    for (const read_failure& c : cases) {
        SCOPED_TRACE(c.what);
        temp_dir dir;
        dir.copy_in(simple, "m.ase");
        std::filesystem::create_directory(dir.file("d"));
        std::filesystem::create_directory(dir.file("tmp"));
        for (const char* name : dump_names)
            dir.write(name, "earlier run");
        viewer_process viewer(c.program, c.arguments, dir.path());
        EXPECT_EQ(viewer.wait_exit(), 1);
        EXPECT_EQ(viewer.output(), c.output);
        EXPECT_EQ(viewer.errors(), "");
        for (const char* name : dump_names)
            EXPECT_EQ(dir.read(name), "earlier run") << name;
        EXPECT_TRUE(std::filesystem::is_empty(dir.file("tmp"))) << "the copy is unlinked";
    }
}

// Started with standard output closed, the viewer's X connection would take
// descriptor 1, and its console lines would corrupt the X protocol stream.
TEST(EnvironmentFaults, ClosedStandardOutputLeavesTheViewerWorking) {
    test_display();
    temp_dir dir;
    prepare(dir, triangle);
    viewer_process viewer("/bin/sh", {"-c", "exec \"$0\" -m m.ase >&-", ASEVIEW_BINARY},
                          dir.path());
    const Window window = find_window(viewer_window_title);
    ASSERT_NE(window, 0u) << viewer.errors();
    type_key(window, "q");
    EXPECT_EQ(viewer.wait_exit(), 1);
    EXPECT_EQ(viewer.output(), "");
}

// A dump on a full disk: the viewer says so and goes on with the others.
TEST(EnvironmentFaults, DumpOnAFullDiskIsReportedAndStartUpGoesOn) {
    test_display();
    temp_dir dir;
    prepare(dir, triangle);
    std::filesystem::create_symlink("/dev/full", dir.file("norm.txt"));
    viewer_process viewer(ASEVIEW_BINARY, {"-m", "m.ase"}, dir.path());
    EXPECT_TRUE(viewer.wait_output("error writing \"norm.txt\": No space left on device\n"))
        << viewer.output() << viewer.errors();
    const std::string normals = "position = 0\t x = 0.000000\t y = 0.000000\t z = 0.000000\n"
                                "position = 1\t x = 0.000000\t y = 0.000000\t z = 0.000000\n"
                                "position = 2\t x = 0.000000\t y = 0.000000\t z = 0.000000\n";
    EXPECT_EQ(eventual_content(dir, "vnorml.txt", normals), normals);
    EXPECT_TRUE(viewer.running());
}

// A number of several hundred kilobytes is read while no allocation of more
// than 64 KiB can succeed: it needs none.
TEST(EnvironmentFaults, LongNumberIsReadWithoutMemoryOfItsOwn) {
    if (!shim_usable())
        GTEST_SKIP() << "the fault shim needs an unsanitized viewer";
    test_display();
    temp_dir dir;
    prepare(dir, "*MESH_NUMVERTEX 1\n*MESH_VERTEX 0 1." + std::string(300000, '0') + "1 2 3\n");
    viewer_process viewer("/usr/bin/env", with_shim({"FAULT_ALLOC_LIMIT=65536"}, {"-m", "m.ase"}),
                          dir.path());
    ASSERT_TRUE(viewer.wait_output("vertices in this mesh is\t1\n")) << viewer.errors();
    ASSERT_NE(find_window(viewer_window_title), 0u);
    const std::string dump =
        "-----MAX_FACES = 0\nvertex pos = 0\n X=1.000000\n\t\t\t\tY=2.000000\n\tZ=-3.000000\n";
    EXPECT_EQ(eventual_content(dir, "dump.txt", dump), dump);
}
