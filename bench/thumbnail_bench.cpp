// The cost of a thumbnail: wall time, processor time and peak memory of
// aseview-thumbnailer per model, beside the floor (bench/egl_floor.c: an EGL
// context, one triangle, the pixels read) in the same run, both inside bwrap
// as a file manager runs them and both outside it, and f3d making the same
// thumbnail from the OBJ that `assimp export` writes of the model (outside the
// sandbox, in a private Xvfb, since f3d needs a display). f3d and assimp are
// optional: without them that column is skipped with a note.
// Usage: thumbnail_bench [-rounds N] [-size PIXELS] MODEL...
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct run_cost {
    double wall_ms = 0;
    double cpu_ms = 0; // user and system, the child's and its own children's
    long peak_kb = 0;  // largest resident set among them
    bool ok = false;   // ended with status 0
};

// Runs `arguments` with stdout and stderr discarded, `display` (or none) as
// DISPLAY, and the rest of the environment as it is.
run_cost run(const std::vector<std::string>& arguments, const std::string& display) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    run_cost cost;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (display.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", display.c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) < 0)
        return cost;
    cost.wall_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    cost.cpu_ms = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                  (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    cost.peak_kb = usage.ru_maxrss;
    cost.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return cost;
}

bool on_path(const char* program) {
    for (const char* folder : {"/usr/local/bin", "/usr/bin", "/bin"}) {
        if (access((std::string(folder) + "/" + program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

// The sandbox a file manager gives a thumbnailer: no display, no GPU device,
// read-only /usr, the model read-only and only the output folder writable.
std::vector<std::string> in_sandbox(const std::string& program, const std::string& model,
                                    const std::string& output_folder) {
    return {"bwrap",
            "--unshare-all",
            "--die-with-parent",
            "--new-session",
            "--clearenv",
            "--setenv",
            "PATH",
            "/usr/bin:/bin",
            "--ro-bind",
            "/usr",
            "/usr",
            "--symlink",
            "usr/lib",
            "/lib",
            "--symlink",
            "usr/lib64",
            "/lib64",
            "--symlink",
            "usr/bin",
            "/bin",
            "--ro-bind-try",
            "/etc/ld.so.cache",
            "/etc/ld.so.cache",
            "--proc",
            "/proc",
            "--dev",
            "/dev",
            "--tmpfs",
            "/tmp",
            "--ro-bind",
            program,
            program,
            "--ro-bind",
            model,
            model,
            "--bind",
            output_folder,
            output_folder};
}

// A private X server for f3d, numbered by the server itself; the display
// name, or empty when none starts.
std::string start_xvfb(pid_t& server) {
    int ends[2];
    if (pipe(ends) != 0)
        return {};
    server = fork();
    if (server == 0) {
        close(ends[0]);
        const std::string descriptor = std::to_string(ends[1]);
        std::freopen("/dev/null", "w", stderr);
        execlp("Xvfb", "Xvfb", "-displayfd", descriptor.c_str(), "-noreset", "-screen", "0",
               "640x480x24", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    char number[32] = {};
    const ssize_t got = read(ends[0], number, sizeof number - 1);
    close(ends[0]);
    if (got <= 0)
        return {};
    number[std::strcspn(number, "\n")] = '\0';
    return ":" + std::string(number);
}

struct column {
    const char* name;
    std::vector<double> wall_ms; // one per model: the median of its rounds
    std::vector<double> cpu_ms;
    long peak_kb = 0;
    int failures = 0;
};

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs one command `rounds` times and adds the model's medians to `into`.
void measure(column& into, const std::vector<std::string>& command, const std::string& display,
             int rounds) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int round = 0; round < rounds; ++round) {
        const run_cost cost = run(command, display);
        if (!cost.ok) {
            ++into.failures;
            return;
        }
        wall.push_back(cost.wall_ms);
        cpu.push_back(cost.cpu_ms);
        into.peak_kb = std::max(into.peak_kb, cost.peak_kb);
    }
    into.wall_ms.push_back(median(wall));
    into.cpu_ms.push_back(median(cpu));
}

void print_column(const column& data) {
    if (data.wall_ms.empty()) {
        std::printf("%-26s no thumbnails (%d failed)\n", data.name, data.failures);
        return;
    }
    std::printf("%-26s %9.0f %9.0f %9.0f %9.0f %9.1f %3d\n", data.name, median(data.wall_ms),
                *std::max_element(data.wall_ms.begin(), data.wall_ms.end()), median(data.cpu_ms),
                *std::max_element(data.cpu_ms.begin(), data.cpu_ms.end()), data.peak_kb / 1024.0,
                data.failures);
}

double ratio(const column& numerator, const column& denominator) {
    const double below = median(denominator.wall_ms);
    return below > 0 ? median(numerator.wall_ms) / below : 0;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    std::string size = "256";
    std::vector<std::string> models;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "-size") == 0 && i + 1 < argc)
            size = argv[++i];
        else
            models.push_back(std::filesystem::absolute(argv[i]).string());
    }
    if (models.empty()) {
        std::fprintf(stderr, "usage: thumbnail_bench [-rounds N] [-size PIXELS] MODEL...\n");
        return 2;
    }
    char folder_pattern[] = "/tmp/thumbnail_bench.XXXXXX";
    if (mkdtemp(folder_pattern) == nullptr)
        return 1;
    const std::string folder = folder_pattern;
    const std::string output = folder + "/thumb.png";
    const bool sandbox = on_path("bwrap");
    const bool peer = on_path("f3d") && on_path("assimp");
    pid_t server = -1;
    const std::string display = peer ? start_xvfb(server) : std::string();

    column ours_sandboxed{"aseview-thumbnailer, bwrap", {}, {}, 0, 0};
    column floor_sandboxed{"floor, bwrap", {}, {}, 0, 0};
    column ours{"aseview-thumbnailer", {}, {}, 0, 0};
    column floor{"floor", {}, {}, 0, 0};
    column f3d{"f3d on assimp's OBJ, Xvfb", {}, {}, 0, 0};
    for (const std::string& model : models) {
        std::fprintf(stderr, "%s\n", model.c_str());
        const std::vector<std::string> thumbnailer = {THUMBNAILER_BINARY, size, model, output};
        const std::vector<std::string> floor_program = {FLOOR_BINARY, size};
        if (sandbox) {
            std::vector<std::string> command = in_sandbox(THUMBNAILER_BINARY, model, folder);
            command.insert(command.end(), thumbnailer.begin(), thumbnailer.end());
            measure(ours_sandboxed, command, "", rounds);
            command = in_sandbox(FLOOR_BINARY, model, folder);
            command.insert(command.end(), floor_program.begin(), floor_program.end());
            measure(floor_sandboxed, command, "", rounds);
        }
        measure(ours, thumbnailer, "", rounds);
        measure(floor, floor_program, "", rounds);
        const std::string obj = folder + "/model.obj";
        if (!display.empty() && run({"assimp", "export", model, obj}, "").ok)
            measure(f3d,
                    {"f3d", "--output=" + folder + "/f3d.png", "--resolution=" + size + "," + size,
                     obj},
                    display, rounds);
        else if (!display.empty())
            ++f3d.failures;
        std::filesystem::remove(obj);
    }
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
    std::filesystem::remove_all(folder);

    std::printf("%zu models, %s pixels, %d rounds each; per thumbnail, the median of the "
                "models' medians and the worst model's:\n",
                models.size(), size.c_str(), rounds);
    std::printf("%-26s %9s %9s %9s %9s %9s %3s\n", "", "wall ms", "worst", "cpu ms", "worst",
                "peak MiB", "bad");
    if (sandbox) {
        print_column(ours_sandboxed);
        print_column(floor_sandboxed);
    } else {
        std::printf("no bwrap: the sandboxed columns are skipped\n");
    }
    print_column(ours);
    print_column(floor);
    if (peer)
        print_column(f3d);
    else
        std::printf("no f3d or assimp (Debian's f3d, assimp-utils): that column is skipped\n");
    if (sandbox)
        std::printf("ours / floor, in bwrap: %.2f\n", ratio(ours_sandboxed, floor_sandboxed));
    std::printf("ours / floor, outside: %.2f\n", ratio(ours, floor));
    if (peer && !f3d.wall_ms.empty())
        std::printf("f3d / ours, outside: %.2f in time, %.2f in peak memory\n", ratio(f3d, ours),
                    ours.peak_kb > 0 ? static_cast<double>(f3d.peak_kb) / ours.peak_kb : 0);
    return 0;
}
