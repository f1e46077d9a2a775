// The viewer under valgrind's memcheck from start-up to 'q': reading the
// model and the map, the first frames, a few commands that redraw, and
// freeing the mesh. Any invalid read or write, use of an undefined value or
// definite leak that valgrind pins on our code fails the run; what belongs to
// the GL and X libraries is suppressed in valgrind.supp.
// gtest goes first: X's headers define a macro None that its headers use.
#include <gtest/gtest.h>

#include "support/colour_cube.h"
#include "support/frame_counter.h"
#include "support/viewer_process.h"
#include "support/x_display.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int valgrind_error_status = 99;
// Under valgrind the software renderer is some fifty times slower: a limit
// for a viewer that stalled, not a measure of speed.
constexpr double valgrind_wait_seconds = 150;

// The valgrind on the PATH, or empty.
std::string find_valgrind() {
    const char* path = std::getenv("PATH");
    std::istringstream directories(path != nullptr ? path : "");
    for (std::string directory; std::getline(directories, directory, ':');) {
        const std::string candidate = directory + "/valgrind";
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

// Sets an environment variable for the processes started in its lifetime.
class scoped_environment {
  public:
    scoped_environment(const char* name, const char* value) : name_(name) {
        setenv(name, value, 1);
    }
    ~scoped_environment() { unsetenv(name_); }
    scoped_environment(const scoped_environment&) = delete;
    scoped_environment& operator=(const scoped_environment&) = delete;

  private:
    const char* name_;
};

} // namespace

TEST(Valgrind, StartFramesAndQuitShowNoMemoryErrorsInOurCode) {
#ifdef ASEVIEW_SANITIZED
    GTEST_SKIP() << "valgrind cannot run a viewer built with the sanitizers";
#endif
    const std::string valgrind = find_valgrind();
    if (valgrind.empty())
        GTEST_SKIP() << "valgrind is not installed";
    test_display();
    temp_dir dir;
    dir.write("cube.ase", colour_cube_ase(40));
    dir.copy_in(ASSETS_DIR "/map2.tga", "map2.tga");
    // Mesa's rasterizer without LLVM's code generation, which valgrind would
    // spend most of the run on.
    const scoped_environment driver("GALLIUM_DRIVER", "softpipe");
    const scoped_environment no_llvm("DRAW_USE_LLVM", "0");
    viewer_process viewer(
        valgrind,
        {"--tool=memcheck", "--error-exitcode=" + std::to_string(valgrind_error_status),
         "--suppressions=" VALGRIND_SUPPRESSIONS, "--gen-suppressions=all", "--leak-check=full",
         "--show-leak-kinds=definite", "--errors-for-leak-kinds=definite", "--keep-debuginfo=yes",
         ASEVIEW_BINARY, "-m", "cube.ase"},
        dir.path());
    const Window window = find_window(viewer_window_title, valgrind_wait_seconds);
    ASSERT_NE(window, 0u) << viewer.output() << viewer.errors();
    frame_counter frames(window);
    // Wireframe, normals, lighting and no texture each change what the next
    // frame draws; 'r' twice asks for two frames.
    for (const char* key : {"w", "c", "l", "t", "r", "r"})
        type_key(window, key);
    EXPECT_GE(frames.wait_frames(2, valgrind_wait_seconds), 1) << "no frame was drawn";
    type_key(window, "q");
    const int status = viewer.wait_exit(valgrind_wait_seconds);
    EXPECT_EQ(status, 1) << (status == valgrind_error_status ? "valgrind found errors:\n" : "")
                         << viewer.errors();
    EXPECT_NE(viewer.output().find("free ants\n"), std::string::npos);
}
