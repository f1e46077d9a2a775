// The viewer driven as a person would: keys, the right-button menu, left,
// Shift-left and middle drags, the idle spin and quitting. Everything is
// observed through the window's pixels, standard output and the exit status.
// gtest goes first: X's headers define a macro None that its headers use.
#include <gtest/gtest.h>

#include "support/colour_cube.h"
#include "support/frame_counter.h"
#include "support/menu.h"
#include "support/viewer_process.h"
#include "support/x_display.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int menu_entry_count = 13;

// Rows from here down hold the model and the hint line; the statistics
// panel above them shows the machine's memory, which changes from frame to
// frame.
constexpr int first_compared_row = 156;
constexpr int centre_x = 320;
constexpr int centre_y = 240;
// The eye's distance from the model's origin in model units: 5 units after
// the model is drawn at 0.03 of its size.
constexpr double eye_distance = 5.0 / 0.03;

void pause_for(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int failure_count() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

int differing_pixels(const window_image& a, const window_image& b) {
    if (a.width != b.width || a.height != b.height)
        return a.width * a.height + 1;
    int count = 0;
    for (int y = first_compared_row; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const uint32_t p = a.at(x, y), q = b.at(x, y);
            if (std::abs(red_of(p) - red_of(q)) > 40 || std::abs(green_of(p) - green_of(q)) > 40 ||
                std::abs(blue_of(p) - blue_of(q)) > 40)
                ++count;
        }
    return count;
}

// Enough pixels to be a real change of the model, few enough to allow for
// the odd edge pixel.
constexpr int changed = 300;
constexpr int unchanged = 10;
// A still viewer draws a frame a second for the statistics panel. For this
// long after one, any frame drawn comes from a command.
constexpr auto between_panel_frames = std::chrono::milliseconds(800);

bool is_background(uint32_t pixel) {
    return std::abs(red_of(pixel) - 0x33) < 16 && std::abs(green_of(pixel) - 0x33) < 16 &&
           std::abs(blue_of(pixel) - 0x33) < 16;
}

// How far the model reaches from the window's middle to the right along the
// middle row, and downwards along the middle column, in pixels.
int reach_right(const window_image& image) {
    int x = centre_x;
    while (x < image.width && !is_background(image.at(x, centre_y)))
        ++x;
    return x - centre_x;
}

int reach_down(const window_image& image) {
    int y = centre_y;
    while (y < image.height && !is_background(image.at(centre_x, y)))
        ++y;
    return y - centre_y;
}

// One viewer showing the colour cube, in a directory of its own.
class viewer_session {
  public:
    explicit viewer_session(const std::string& name) : name_(name) {
        test_display();
        dir_.write("cube.ase", colour_cube_ase(40));
        dir_.copy_in(ASSETS_DIR "/map2.tga", "map2.tga");
        process_ = std::make_unique<viewer_process>(
            ASEVIEW_BINARY, std::vector<std::string>{"-m", "cube.ase"}, dir_.path());
        window_ = find_window(viewer_window_title);
        // Until the first frame the window holds no background colour; then
        // its corner shows the background and its middle the cube.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (window_ != 0 && std::chrono::steady_clock::now() < deadline) {
            const window_image picture = capture_window(window_);
            if (picture.width > centre_x && picture.height > centre_y &&
                is_background(picture.at(picture.width - 5, picture.height - 5)) &&
                !is_background(picture.at(centre_x, centre_y)))
                break;
            pause_for(20);
        }
    }

    bool started() const { return window_ != 0; }
    Window window() const { return window_; }
    viewer_process& process() { return *process_; }

    // The picture once nothing has been drawn for a while, so that a frame
    // that was asked for has certainly been drawn.
    window_image settled_picture() {
        window_image last = capture_window(window_);
        for (int quiet = 0, round = 0; quiet < 3 && round < 100; ++round) {
            pause_for(40);
            window_image next = capture_window(window_);
            quiet = differing_pixels(next, last) == 0 ? quiet + 1 : 0;
            last = std::move(next);
        }
        return last;
    }

    void key(const char* keysym_name) { type_key(window_, keysym_name); }

    void shifted_key(const char* keysym_name) {
        move_pointer(window_, centre_x, centre_y);
        press_key("Shift_L");
        press_key(keysym_name);
        release_key(keysym_name);
        release_key("Shift_L");
    }

    // Waits for the next of the frames a still viewer draws once a second,
    // and returns when it was seen.
    std::chrono::steady_clock::time_point wait_for_panel_frame() {
        if (frames_ == nullptr)
            frames_ = std::make_unique<frame_counter>(window_);
        frames_->wait_frames(1000, 0.03); // frames already drawn
        frames_->wait_frames(1, 3);
        return std::chrono::steady_clock::now();
    }

    // 'r' twice asks for two frames and leaves every setting as it was.
    void redraw() {
        key("r");
        key("r");
    }

    // Keeps the picture next to the test's output when a check on it failed.
    void keep(const window_image& image, const std::string& what) {
        std::string file = "controls_" + name_ + "_" + what + ".png";
        for (char& c : file)
            if (c == ' ')
                c = '_';
        save_png(image, file);
    }

  private:
    std::string name_;
    temp_dir dir_;
    std::unique_ptr<viewer_process> process_;
    Window window_ = 0;
    std::unique_ptr<frame_counter> frames_;
};

void left_click(Window window, int x, int y) {
    move_pointer(window, x, y);
    press_button(1);
    release_button(1);
}

void shift_left_click(Window window, int x, int y) {
    move_pointer(window, x, y);
    press_key("Shift_L");
    press_button(1);
    release_button(1);
    release_key("Shift_L");
}

void drag(Window window, int button, int from_x, int from_y, int to_x, int to_y) {
    move_pointer(window, from_x, from_y);
    press_button(button);
    const int steps = 8;
    for (int i = 1; i <= steps; ++i) {
        move_pointer(window, from_x + (to_x - from_x) * i / steps,
                     from_y + (to_y - from_y) * i / steps);
        pause_for(5);
    }
    release_button(button);
}

// Pointer work after a command that makes its effect visible.
void click_right_of_middle(Window window) {
    left_click(window, 480, 300);
}
void click_low(Window window) {
    left_click(window, 320, 400);
}
void click_near_middle(Window window) {
    left_click(window, 400, 300);
}
void drag_down_right(Window window) {
    drag(window, 1, 300, 200, 420, 330);
}

struct command_step {
    const char* keysym;   // the command's key
    int menu_entry;       // its menu position from the top, or -1 when keyboard only
    bool asks_for_frame;  // the command redraws by itself
    bool changes_picture; // what it shows differs from the step before
    void (*then)(Window); // pointer work showing the command's effect, or null
    const char* what;
};

// Every menu entry, and the keyboard-only 'h', each followed by what makes
// its effect visible.
const command_step steps[] = {
    {"w", 3, true, true, nullptr, "wireframe"},
    {"w", 3, true, true, nullptr, "filled"},
    {"s", 4, true, false, nullptr, "smooth shading kept"},
    {"s", 4, true, true, nullptr, "flat shading"},
    {"c", 5, false, true, nullptr, "normals"},
    {"t", 10, false, true, nullptr, "texture off"},
    {"l", 11, false, true, nullptr, "lighting"},
    {"o", 6, false, true, nullptr, "surface off"},
    {"o", 6, false, true, nullptr, "surface on"},
    {"h", -1, false, true, nullptr, "hint on"},
    {"h", -1, false, true, nullptr, "hint off"},
    {"x", 1, true, true, click_right_of_middle, "smear x"},
    {"y", 0, true, true, click_low, "smear y"},
    {"b", 2, true, true, click_near_middle, "smear both"},
    {"r", 8, true, true, drag_down_right, "rotated"},
    {"space", 9, false, false, nullptr, "separator"},
    {"space", 12, false, false, nullptr, "last entry"},
};

enum class command_route { keys, menu };

// Runs the steps and returns the settled picture after each, and before the
// first. On the key route it also checks which commands draw by themselves.
std::vector<window_image> run_steps(command_route route) {
    const bool by_key = route == command_route::keys;
    viewer_session viewer(by_key ? "keys" : "menu");
    std::vector<window_image> pictures;
    if (!viewer.started()) {
        ADD_FAILURE() << "no window; output: " << viewer.process().output()
                      << viewer.process().errors();
        return pictures;
    }
    pictures.push_back(viewer.settled_picture());

    for (const command_step& step : steps) {
        if (!by_key && step.menu_entry < 0)
            continue;
        const int failures_before = failure_count();
        const window_image before = pictures.back();
        if (by_key) {
            // A command that draws nothing by itself is checked between two of
            // the panel's frames, which would show its change.
            const auto panel_frame = !step.asks_for_frame ? viewer.wait_for_panel_frame()
                                                          : std::chrono::steady_clock::now();
            viewer.key(step.keysym);
            const window_image right_after = viewer.settled_picture();
            const int difference = differing_pixels(right_after, before);
            if (step.asks_for_frame && step.changes_picture && step.then == nullptr) {
                EXPECT_GE(difference, changed) << step.what << " drew nothing new";
            }
            int after_ignored_keys = 0;
            if (!step.asks_for_frame && step.changes_picture) {
                // Keys without a command must not draw the pending change either.
                viewer.shifted_key("b");
                viewer.key("1");
                viewer.key("space");
                viewer.key("Escape");
                after_ignored_keys = differing_pixels(viewer.settled_picture(), before);
            }
            // On a machine too busy to look in time the check cannot tell.
            if (!step.asks_for_frame &&
                std::chrono::steady_clock::now() - panel_frame < between_panel_frames) {
                EXPECT_LE(difference, unchanged) << step.what << " drew a frame by itself";
                EXPECT_LE(after_ignored_keys, unchanged)
                    << "an ignored key after " << step.what << " drew a frame";
            }
        } else {
            EXPECT_TRUE(
                choose_menu_entry(viewer.window(), 100, 300, step.menu_entry, menu_entry_count))
                << step.what;
        }
        if (step.then != nullptr)
            step.then(viewer.window());
        viewer.redraw();
        pictures.push_back(viewer.settled_picture());
        const int difference = differing_pixels(pictures.back(), before);
        if (step.changes_picture) {
            EXPECT_GE(difference, changed) << step.what << " did not show";
        } else {
            EXPECT_LE(difference, unchanged) << step.what << " changed the picture";
        }
        if (failure_count() != failures_before)
            viewer.keep(pictures.back(), step.what);
    }

    // The spin, with the steps the rotation drag left behind (one degree
    // about each axis per idle call).
    if (by_key)
        viewer.key("f");
    else
        EXPECT_TRUE(choose_menu_entry(viewer.window(), 100, 300, 7, menu_entry_count));
    pause_for(200);
    const window_image spinning = capture_window(viewer.window());
    pause_for(300);
    EXPECT_GE(differing_pixels(capture_window(viewer.window()), spinning), changed)
        << "the spin does not turn the model";
    viewer.key("f");

    viewer.key("q");
    EXPECT_EQ(viewer.process().wait_exit(), 1);
    EXPECT_NE(viewer.process().output().find("free ants\n"), std::string::npos);
    return pictures;
}

TEST(Controls, KeysAndTheirMenuEntriesHaveTheSameEffects) {
    const std::vector<window_image> by_keys = run_steps(command_route::keys);
    const std::vector<window_image> by_menu = run_steps(command_route::menu);
    ASSERT_FALSE(by_keys.empty());
    ASSERT_FALSE(by_menu.empty());

    // The menu offers no 'h'; the key route switches the hint on and off
    // again, and those two pictures have no counterpart.
    size_t menu_index = 0;
    for (size_t key_index = 0; key_index < by_keys.size(); ++key_index) {
        const bool is_hint_step = key_index > 0 && steps[key_index - 1].menu_entry < 0;
        if (is_hint_step)
            continue;
        ASSERT_LT(menu_index, by_menu.size());
        const char* what = key_index == 0 ? "start" : steps[key_index - 1].what;
        EXPECT_LE(differing_pixels(by_keys[key_index], by_menu[menu_index]), unchanged) << what;
        ++menu_index;
    }
}

// The cube's front side reaches about 131 pixels from the middle; smearing
// scales that reach, rotating turns the cube, and presses that only record
// the position leave it alone.
TEST(Controls, DragsSmearOutsideRotationModeAndTurnInsideIt) {
    viewer_session viewer("drags");
    ASSERT_TRUE(viewer.started()) << viewer.process().output() << viewer.process().errors();
    // Untextured, every pixel of the cube is one of its bright corner colours.
    viewer.key("t");
    viewer.redraw();
    const window_image start = viewer.settled_picture();
    const double right = reach_right(start), down = reach_down(start);
    ASSERT_GT(right, 100);
    ASSERT_GT(down, 100);

    // A plain click sets the factor at once: x = 480 of 640 gives 1.25.
    viewer.key("x");
    left_click(viewer.window(), 480, 300);
    window_image picture = viewer.settled_picture();
    EXPECT_NEAR(reach_right(picture), right * 1.25, 3);
    EXPECT_NEAR(reach_down(picture), down, 2);

    // Shift-left and middle presses only remember where they were.
    shift_left_click(viewer.window(), 360, 420);
    move_pointer(viewer.window(), 560, 180);
    press_button(2);
    release_button(2);
    viewer.redraw();
    const window_image after_clicks = viewer.settled_picture();
    EXPECT_LE(differing_pixels(after_clicks, picture), unchanged);
    if (::testing::Test::HasFailure())
        viewer.keep(after_clicks, "after_presses");

    // Middle and Shift-left drags smear to where they end: 560 gives 1.875.
    drag(viewer.window(), 2, 400, 350, 560, 350);
    picture = viewer.settled_picture();
    EXPECT_NEAR(reach_right(picture), right * 1.875, 4);
    viewer.key("y");
    press_key("Shift_L");
    drag(viewer.window(), 1, 330, 300, 330, 360);
    release_key("Shift_L");
    picture = viewer.settled_picture();
    EXPECT_NEAR(reach_down(picture), down * 1.25, 3);
    EXPECT_NEAR(reach_right(picture), right * 1.875, 4) << "the X factor is kept";

    // In rotation mode a drag turns the cube to an angle set by where it
    // ends, and the smear factors stay, applied along the cube's own axes.
    // A quarter turn about Y (x = 480) brings its smeared X axis towards the
    // eye: the side now in front is 80 units wide, 100 high and 75 units
    // nearer the eye than the middle, where the front was 40 units nearer.
    viewer.key("r");
    drag(viewer.window(), 1, 300, 300, 480, 240);
    const window_image turned = viewer.settled_picture();
    EXPECT_GE(differing_pixels(turned, picture), changed);
    const double nearness = (eye_distance - 40) / (eye_distance - 75);
    EXPECT_NEAR(reach_right(turned), right * nearness, 3);
    EXPECT_NEAR(reach_down(turned), down * 1.25 * nearness, 3);
    // A click in rotation mode records the position and nothing else.
    left_click(viewer.window(), 200, 400);
    viewer.redraw();
    EXPECT_LE(differing_pixels(viewer.settled_picture(), turned), unchanged);
    if (::testing::Test::HasFailure())
        viewer.keep(turned, "turned");

    viewer.key("q");
    EXPECT_EQ(viewer.process().wait_exit(), 1);
}

TEST(Controls, SpinTurnsWhileOnKeepsItsTurnWhenOffAndAResizeUndoesIt) {
    viewer_session viewer("spin");
    ASSERT_TRUE(viewer.started()) << viewer.process().output() << viewer.process().errors();
    const window_image start = viewer.settled_picture();

    // With smearing off and rotation mode off a drag only sets the steps:
    // 150 pixels right and down give one degree about each axis per call.
    drag(viewer.window(), 1, 250, 250, 400, 400);
    EXPECT_LE(differing_pixels(viewer.settled_picture(), start), unchanged);

    viewer.key("f");
    pause_for(200);
    window_image earlier = capture_window(viewer.window());
    for (int look = 0; look < 3; ++look) {
        pause_for(150);
        window_image later = capture_window(viewer.window());
        EXPECT_GE(differing_pixels(later, earlier), changed) << "look " << look;
        earlier = std::move(later);
    }

    viewer.key("f");
    const window_image stopped = viewer.settled_picture();
    EXPECT_GE(differing_pixels(stopped, start), changed) << "the turn was lost";
    pause_for(300);
    viewer.redraw();
    EXPECT_LE(differing_pixels(viewer.settled_picture(), stopped), unchanged)
        << "the model moved with the spin off, or a frame undid the turn";

    // A resize reloads the camera and with it drops the accumulated turn.
    Display* display = test_display();
    XResizeWindow(display, viewer.window(), 600, 450);
    XSync(display, False);
    pause_for(200);
    XResizeWindow(display, viewer.window(), 640, 480);
    XSync(display, False);
    const window_image resized = viewer.settled_picture();
    EXPECT_LE(differing_pixels(resized, start), unchanged);
    if (::testing::Test::HasFailure()) {
        viewer.keep(start, "start");
        viewer.keep(stopped, "stopped");
        viewer.keep(resized, "resized");
    }

    viewer.key("q");
    EXPECT_EQ(viewer.process().wait_exit(), 1);
    EXPECT_NE(viewer.process().output().find("free ants\n"), std::string::npos);
}

} // namespace
