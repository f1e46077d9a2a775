// The bundled model left spinning for thousands of frames: the viewer's
// resident memory settles after the first frames and stays there. And left
// still, with the spin off: the viewer sleeps instead of using the processor,
// waking about once a second to draw the statistics panel afresh.
// gtest goes first: X's headers define a macro None that its headers use.
#include <gtest/gtest.h>

#include "support/frame_counter.h"
#include "support/viewer_process.h"
#include "support/x_display.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// Frames before the first sample: Mesa compiles its shaders and fills its
// caches while the first frames are drawn.
constexpr long settling_frames = 300;
constexpr long measured_frames = 3000;
constexpr long rss_tolerance_kib = 2048;
// Only a stalled viewer takes this long for the frames: a limit for the
// wait, not a measure of speed.
constexpr double frame_wait_seconds = 90;

long resident_kib(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

void pause_for(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The processor time the process has used, user and system, all its threads.
double cpu_seconds(int pid) {
    std::ifstream stat_file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(stat_file, stat);
    // The fields after the command name, which may hold spaces, from the state on.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string skipped;
    for (int field = 3; field < 14; ++field)
        fields >> skipped;
    long user_ticks = -1, system_ticks = -1;
    fields >> user_ticks >> system_ticks;
    return static_cast<double>(user_ticks + system_ticks) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

TEST(LongRun, SpinningForThousandsOfFramesKeepsResidentMemoryLevel) {
    test_display();
    temp_dir dir;
    dir.copy_in(ASSETS_DIR "/simple.ase", "simple.ase");
    dir.copy_in(ASSETS_DIR "/map2.tga", "map2.tga");
#ifdef ASEVIEW_SANITIZED
    // AddressSanitizer holds freed blocks back to catch late uses, which
    // looks like growth; this viewer reuses freed memory at once instead.
    const char* options = std::getenv("ASAN_OPTIONS");
    const std::string saved_options = options != nullptr ? options : "";
    setenv("ASAN_OPTIONS",
           (saved_options + ":quarantine_size_mb=0:thread_local_quarantine_size_kb=0").c_str(), 1);
#endif
    viewer_process viewer(ASEVIEW_BINARY, {}, dir.path());
#ifdef ASEVIEW_SANITIZED
    setenv("ASAN_OPTIONS", saved_options.c_str(), 1);
#endif
    const Window window = find_window(viewer_window_title, 30);
    ASSERT_NE(window, 0u) << viewer.output() << viewer.errors();
    frame_counter frames(window);

    // With no smearing and rotation mode off, a drag of 150 pixels right and
    // down only sets the spin: one degree about each axis per frame.
    move_pointer(window, 250, 250);
    press_button(1);
    for (int step = 1; step <= 6; ++step) {
        move_pointer(window, 250 + 25 * step, 250 + 25 * step);
        pause_for(5);
    }
    release_button(1);
    type_key(window, "f");

    ASSERT_EQ(frames.wait_frames(settling_frames, frame_wait_seconds), settling_frames)
        << "the spin did not start";
    const long early = resident_kib(viewer.pid());
    ASSERT_GT(early, 0);
    EXPECT_EQ(frames.wait_frames(measured_frames, frame_wait_seconds), measured_frames);
    const long late = resident_kib(viewer.pid());
    EXPECT_LE(late - early, rss_tolerance_kib)
        << "resident memory went from " << early << " KiB to " << late << " KiB over "
        << frames.total() - settling_frames << " frames";

    type_key(window, "f");
    type_key(window, "q");
    EXPECT_EQ(viewer.wait_exit(30), 1) << viewer.errors();
    EXPECT_NE(viewer.output().find("free ants\n"), std::string::npos);
}

// A share of a core far above an idle process's, far below an event loop that
// never waits (about three quarters of a core on a quiet machine).
constexpr double idle_core_share_limit = 0.15;
// Frames in the measured seconds of a still picture: a timer draws about one
// a second. None means no timer; more than one a second means two chains.
constexpr double still_seconds = 4;
constexpr long fewest_still_frames = 2;
constexpr long most_still_frames = 5;

TEST(LongRun, StillPictureLeavesTheProcessorIdle) {
    test_display();
    temp_dir dir;
    dir.copy_in(ASSETS_DIR "/simple.ase", "simple.ase");
    dir.copy_in(ASSETS_DIR "/map2.tga", "map2.tga");
    viewer_process viewer(ASEVIEW_BINARY, {}, dir.path());
    const Window window = find_window(viewer_window_title, 30);
    ASSERT_NE(window, 0u) << viewer.output() << viewer.errors();
    frame_counter frames(window);
    // The spin on and off again within a second of start-up, whose own
    // refresh timer is still queued then.
    type_key(window, "f");
    type_key(window, "f");
    ASSERT_GE(frames.wait_frames(1, frame_wait_seconds), 1) << "no frame after start-up";
    frames.wait_frames(1000, 1); // the spin's last frames, not counted below

    const auto start = std::chrono::steady_clock::now();
    const double cpu_before = cpu_seconds(viewer.pid());
    const long still_frames = frames.wait_frames(1000, still_seconds);
    const double cpu_used = cpu_seconds(viewer.pid()) - cpu_before;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(cpu_used / elapsed, idle_core_share_limit)
        << cpu_used << " s of processor time in " << elapsed << " s with nothing to do";
    EXPECT_GE(still_frames, fewest_still_frames) << "the statistics panel stood still";
    EXPECT_LE(still_frames, most_still_frames) << still_frames << " frames in " << elapsed << " s";

    type_key(window, "q");
    EXPECT_EQ(viewer.wait_exit(30), 1) << viewer.errors();
}
