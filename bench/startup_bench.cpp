// Start-up time of the viewer on large models, next to assimp's bare import
// of the same file. Each round runs, in turn: the real aseview binary from
// exec on a private X server, timed to the end of its dumps (inotify) and to
// its first frame (X DAMAGE on its window); the same start-up steps with a
// timer around each, in a process of their own; and assimp's ReadFile.
// Usage: startup_bench [--dir DIR] [--reps N] [FACES ...]
#include "app/viewer_window.h"
#include "bench/bench_files.h"
#include "mesh/ase_reader.h"
#include "mesh/mesh_dump.h"
#include "platform/memory_status.h"
#include "render/scene.h"
#include "state/viewer_state.h"
#include "tools/x_capture.h"

#include <GL/glut.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifdef ASEVIEW_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A viewer that shows nothing for this long is taken as stuck.
constexpr double run_timeout_seconds = 300;

double cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "startup_bench: %s\n", message.c_str());
    std::exit(1);
}

// The start-up phases, in the viewer's order.
constexpr int phase_count = 4;
constexpr const char* phase_names[phase_count] = {
    "read the model (load_ase)", "window and texture (glutInit .. build_menu)",
    "dump.txt, norm.txt, vnorml.txt", "first frame (reshape, display, glFinish)"};

// Child mode, in a scratch directory holding the environment map: the
// viewer's start-up steps as app/main.cpp runs them, with a lap after each
// phase. Prints wall and CPU seconds of each phase on one line.
int time_phases(const char* model_path) {
    std::FILE* results = fdopen(dup(1), "w");
    dup2(open("/dev/null", O_WRONLY), 1); // the viewer's console lines stay off the table
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    double wall = now_seconds(), cpu = cpu_seconds();
    const auto lap = [&] {
        const double wall_now = now_seconds(), cpu_now = cpu_seconds();
        std::fprintf(results, "%.6f %.6f ", wall_now - wall, cpu_now - cpu);
        wall = wall_now;
        cpu = cpu_now;
    };
    viewer_state.mem_status = new memory_status{};
    load_ase(model_path);
    lap();

    char program_name[] = "aseview";
    char* arguments[] = {program_name, nullptr};
    int argument_count = 1;
    open_viewer_window(&argument_count, arguments);
    lap();

    dump_data();
    dump_norm();
    dump_vnorm();
    lap();

    on_reshape(viewer_state.window_width, viewer_state.window_height);
    on_display();
    glFinish();
    lap();
    std::fputc('\n', results);
    std::fclose(results);
    return 0;
}

// A fresh directory holding a copy of the environment map, as the viewer
// needs it in its current directory.
std::string make_scratch() {
    std::string pattern = (fs::temp_directory_path() / "aseview-startup-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        fail("cannot make a scratch directory");
    fs::copy_file(ASSETS_DIR "/map2.tga", pattern + "/map2.tga");
    return pattern;
}

// Starts a program in `directory` with its standard output on `output_fd`.
pid_t spawn_in(const std::string& directory, std::vector<std::string> arguments, int output_fd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_adddup2(&actions, output_fd, 1);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        fail("cannot start " + arguments[0] + ": " + std::strerror(error));
    return pid;
}

// The watching side of the private X server: told of every new top-level
// window, and of the first drawing into any window it asks about.
struct x_watch {
    Display* display = nullptr;
    int damage_event_base = 0;
};

// The watched viewer may go at any moment; requests about its vanished
// windows fail, and that is no reason to stop.
int ignore_x_error(Display*, XErrorEvent*) {
    return 0;
}

x_watch open_x_watch() {
    x_watch watch;
    watch.display = XOpenDisplay(nullptr);
    int error_base = 0;
    if (watch.display == nullptr ||
        !XDamageQueryExtension(watch.display, &watch.damage_event_base, &error_base))
        fail("the private X server offers no DAMAGE extension");
    XSetErrorHandler(ignore_x_error);
    XSelectInput(watch.display, DefaultRootWindow(watch.display), SubstructureNotifyMask);
    XSync(watch.display, False);
    return watch;
}

bool has_viewer_title(Display* display, Window window) {
    char* name = nullptr;
    bool matches = false;
    if (XFetchName(display, window, &name) && name != nullptr) {
        matches = std::strcmp(name, viewer_window_title) == 0;
        XFree(name);
    }
    return matches;
}

struct exec_times {
    double dumps_end = -1;   // seconds from exec to "vnorml.txt" closed
    double dumps_span = -1;  // seconds from "dump.txt" created to "vnorml.txt" closed
    double first_frame = -1; // seconds from exec to the first drawing into the window
    double cpu = -1;         // the viewer's CPU seconds, all threads, until it was killed
};

// One start of the real binary in a scratch directory, killed once it has
// shown its first frame. Every top-level window gets a damage watch as soon
// as it is created, long before the viewer draws; only the window with the
// viewer's title counts. The viewer swaps buffers only once it is done with
// its dumps, so a window drawn earlier means the measure is broken.
exec_times time_exec(const x_watch& x, const std::string& model, int null_fd) {
    const std::string scratch = make_scratch();
    const int files = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (files < 0 || inotify_add_watch(files, scratch.c_str(), IN_CREATE | IN_CLOSE_WRITE) < 0)
        fail("cannot watch the scratch directory with inotify");
    XSync(x.display, True); // drops the events of earlier runs

    const double start = now_seconds();
    const pid_t viewer = spawn_in(scratch, {ASEVIEW_BINARY, "-m", model}, null_fd);
    exec_times times;
    double dumps_start = -1;
    std::string trouble;
    bool ended = false;
    while (times.dumps_end < 0 || times.first_frame < 0) {
        pollfd sources[2] = {{files, POLLIN, 0}, {ConnectionNumber(x.display), POLLIN, 0}};
        if (XPending(x.display) == 0)
            poll(sources, 2, 50);
        const double now = now_seconds() - start;
        // The window first, then the files: a frame seen now was drawn after
        // a close that the read below will see.
        while (XPending(x.display) > 0) {
            XEvent event;
            XNextEvent(x.display, &event);
            if (event.type == CreateNotify) {
                XDamageCreate(x.display, event.xcreatewindow.window, XDamageReportNonEmpty);
                XFlush(x.display);
            } else if (event.type == x.damage_event_base + XDamageNotify && times.first_frame < 0) {
                const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
                if (has_viewer_title(x.display, damage.drawable))
                    times.first_frame = now;
            }
        }
        alignas(inotify_event) char buffer[4096];
        ssize_t length;
        while ((length = read(files, buffer, sizeof buffer)) > 0)
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                const std::string name = event->len > 0 ? event->name : "";
                if ((event->mask & IN_CREATE) && name == "dump.txt")
                    dumps_start = now;
                if ((event->mask & IN_CLOSE_WRITE) && name == "vnorml.txt") {
                    times.dumps_end = now;
                    times.dumps_span = dumps_start >= 0 ? now - dumps_start : -1;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        if (times.first_frame >= 0 && times.dumps_end < 0)
            trouble = "the viewer's window was drawn before its dumps were written";
        else if ((ended = waitpid(viewer, nullptr, WNOHANG) == viewer))
            trouble = "the viewer ended before its first frame (run it by hand to see why)";
        else if (now > run_timeout_seconds)
            trouble = "the viewer showed no frame in time";
        if (!trouble.empty())
            break;
    }
    if (!ended) {
        kill(viewer, SIGKILL);
        rusage usage{};
        wait4(viewer, nullptr, 0, &usage);
        times.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    }
    close(files);
    fs::remove_all(scratch);
    if (!trouble.empty())
        fail(trouble);
    return times;
}

struct phase_times {
    timing wall[phase_count];
    timing cpu[phase_count];
};

// The phases, timed in a fresh process of this program.
void time_phases_once(phase_times& result, const char* self, const std::string& model) {
    const std::string scratch = make_scratch();
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0)
        fail("pipe failed");
    const pid_t child = spawn_in(scratch, {self, "--phases", model}, pipe_fds[1]);
    close(pipe_fds[1]);
    std::FILE* from_child = fdopen(pipe_fds[0], "r");
    double figures[2 * phase_count];
    int read_count = 0;
    while (read_count < 2 * phase_count &&
           std::fscanf(from_child, "%lf", &figures[read_count]) == 1)
        ++read_count;
    std::fclose(from_child);
    int status = 0;
    waitpid(child, &status, 0);
    fs::remove_all(scratch);
    if (read_count != 2 * phase_count || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail("the in-process start-up failed");
    for (int phase = 0; phase < phase_count; ++phase) {
        result.wall[phase].seconds.push_back(figures[2 * phase]);
        result.cpu[phase].seconds.push_back(figures[2 * phase + 1]);
    }
}

#ifdef ASEVIEW_HAVE_ASSIMP
bool import_assimp(const std::string& path) {
    Assimp::Importer importer;
    return importer.ReadFile(path, 0) != nullptr;
}
#endif

// Brings the file into the page cache, so that no contender pays for the disk.
void read_through(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    static char buffer[1 << 16];
    while (file != nullptr && std::fread(buffer, 1, sizeof buffer, file) > 0) {
    }
    if (file != nullptr)
        std::fclose(file);
}

void print_row(const char* label, const timing& wall, const timing* cpu) {
    std::printf("  %-50s %9.1f %9.1f", label, wall.median() * 1e3, wall.best() * 1e3);
    if (cpu != nullptr)
        std::printf(" %14.1f\n", cpu->median() * 1e3);
    else
        std::printf(" %14s\n", "-");
}

struct file_result {
    int faces = 0;
    timing dumps_end, dumps_span, first_frame, viewer_cpu, assimp;
};

file_result measure_file(const char* self, const std::string& path, int faces, int reps,
                         const x_watch& x, int null_fd) {
    read_through(path);
    file_result result;
    result.faces = faces;
    phase_times phases;
    timing assimp_cpu;
    // The contenders take turns, so that a slow spell of this shared machine
    // falls on all of them alike.
    for (int round = 0; round < reps; ++round) {
        const exec_times run = time_exec(x, path, null_fd);
        result.dumps_end.seconds.push_back(run.dumps_end);
        result.dumps_span.seconds.push_back(run.dumps_span);
        result.first_frame.seconds.push_back(run.first_frame);
        result.viewer_cpu.seconds.push_back(run.cpu);
        time_phases_once(phases, self, path);
#ifdef ASEVIEW_HAVE_ASSIMP
        const double wall = now_seconds(), cpu = cpu_seconds();
        if (!import_assimp(path))
            fail("assimp could not import " + path);
        result.assimp.seconds.push_back(now_seconds() - wall);
        assimp_cpu.seconds.push_back(cpu_seconds() - cpu);
#endif
    }

    std::printf("\n%s: %d faces, %.1f MB, %d rounds\n", fs::path(path).filename().c_str(), faces,
                file_size(path) / 1e6, reps);
    std::printf("  %-50s %9s %9s %14s\n", "", "median ms", "best ms", "CPU median ms");
    print_row("aseview, exec to end of dumps", result.dumps_end, nullptr);
    print_row("aseview, exec to first buffer swap", result.first_frame, &result.viewer_cpu);
    print_row("  of which dump.txt created to vnorml.txt closed", result.dumps_span, nullptr);
    std::printf("  start-up steps in one process:\n");
    timing total_wall, total_cpu;
    for (int round = 0; round < reps; ++round) {
        double wall = 0, cpu = 0;
        for (int phase = 0; phase < phase_count; ++phase) {
            wall += phases.wall[phase].seconds[round];
            cpu += phases.cpu[phase].seconds[round];
        }
        total_wall.seconds.push_back(wall);
        total_cpu.seconds.push_back(cpu);
    }
    for (int phase = 0; phase < phase_count; ++phase)
        print_row((std::string("  ") + phase_names[phase]).c_str(), phases.wall[phase],
                  &phases.cpu[phase]);
    print_row("  all four", total_wall, &total_cpu);
#ifdef ASEVIEW_HAVE_ASSIMP
    print_row("assimp ReadFile(path, 0), import alone", result.assimp, &assimp_cpu);
#endif
    std::fflush(stdout);
    return result;
}

void print_verdicts(const std::vector<file_result>& results) {
    std::printf("\n");
    for (const file_result& result : results) {
        if (result.faces == 200000 && !result.assimp.seconds.empty()) {
            const double ours = result.dumps_end.median(), theirs = result.assimp.median();
            std::printf("200k faces: exec through the dumps %.0f ms, assimp's import alone %.0f "
                        "ms: %.2f times faster (target 1.4)\n",
                        ours * 1e3, theirs * 1e3, theirs / ours);
        }
        if (result.faces == 2000000) {
            const double dumps = result.dumps_span.median(), total = result.first_frame.median();
            std::printf("2M faces: the dumps take %.0f of %.0f ms from exec to first buffer swap, "
                        "%.0f%% (target at most 25%%)\n",
                        dumps * 1e3, total * 1e3, 100 * dumps / total);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--phases") == 0)
        return time_phases(argv[2]);
    const bench_options options = read_bench_options(argc, argv, 7, {200000, 2000000});
    // The viewer and the phase runs work in scratch directories.
    const std::string directory = fs::absolute(options.directory).string();
    const std::string self = fs::canonical("/proc/self/exe").string();
#ifndef ASEVIEW_HAVE_ASSIMP
    std::printf("assimp not installed (Debian's libassimp-dev): its row is skipped\n");
#endif

    setenv("DISPLAY", start_private_xvfb().c_str(), 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    const x_watch x = open_x_watch();
    const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::vector<file_result> results;
    for (int faces : options.face_counts)
        results.push_back(measure_file(self.c_str(), bench_model(directory, faces), faces,
                                       options.reps, x, null_fd));
    print_verdicts(results);
    XCloseDisplay(x.display);
    return 0;
}
