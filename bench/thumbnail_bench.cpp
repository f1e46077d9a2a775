// The cost of a thumbnail: wall time, processor time and peak memory of
// aseview-thumbnailer per model, beside the floor (bench/egl_floor.c: an EGL
// context, one triangle, the pixels read) in the same run, both inside bwrap
// as a file manager runs them and both outside it, and f3d making the same
// thumbnail from the OBJ that `assimp export` writes of the model (outside the
// sandbox, in a private Xvfb, since f3d needs a display). f3d and assimp are
// optional: without them that column is skipped with a note.
// Usage: thumbnail_bench [-rounds N] [-size PIXELS] MODEL...
#include "tools/file_manager_sandbox.h"

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
    std::vector<std::string> command = {"bwrap"};
    for (std::string& argument : file_manager_sandbox(program, model))
        command.push_back(std::move(argument));
    command.insert(command.end(), {"--bind", output_folder, output_folder});
    return command;
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

// One program's cost for one model: the medians of its rounds; wall time
// below 0 when it failed or could not run.
struct cell {
    double wall_ms = -1;
    double cpu_ms = -1;
    long peak_kb = 0;
};

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

cell measure(const std::vector<std::string>& command, const std::string& display, int rounds) {
    std::vector<double> wall;
    std::vector<double> cpu;
    cell result;
    for (int round = 0; round < rounds; ++round) {
        const run_cost cost = run(command, display);
        if (!cost.ok)
            return {};
        wall.push_back(cost.wall_ms);
        cpu.push_back(cost.cpu_ms);
        result.peak_kb = std::max(result.peak_kb, cost.peak_kb);
    }
    result.wall_ms = median(wall);
    result.cpu_ms = median(cpu);
    return result;
}

// The columns of the table, in order.
enum { ours_sandboxed, floor_sandboxed, ours, floor_outside, f3d, column_count };
const char* const column_names[column_count] = {"ours, bwrap", "floor, bwrap", "ours", "floor",
                                                "f3d, Xvfb"};

struct model_row {
    std::string name;
    int64_t bytes = 0;
    cell cells[column_count];
};

std::string shown(const cell& value) {
    char text[32];
    if (value.wall_ms < 0)
        return "-";
    std::snprintf(text, sizeof text, "%.0f", value.wall_ms);
    return text;
}

// Over the rows where both columns have a time (and, if `small_only`, the
// model is under 1 MB): the median of `top` per row over the median of
// `bottom`, and how many rows that took.
double ratio(const std::vector<model_row>& rows, int top, int bottom, bool small_only, int& count) {
    std::vector<double> tops;
    std::vector<double> bottoms;
    for (const model_row& row : rows) {
        if (row.cells[top].wall_ms < 0 || row.cells[bottom].wall_ms < 0 ||
            (small_only && row.bytes >= 1000000))
            continue;
        tops.push_back(row.cells[top].wall_ms);
        bottoms.push_back(row.cells[bottom].wall_ms);
    }
    count = static_cast<int>(tops.size());
    return count > 0 ? median(tops) / median(bottoms) : 0;
}

void print_summary(const std::vector<model_row>& rows, int column, bool with_usage) {
    std::vector<double> wall;
    std::vector<double> cpu;
    long peak_kb = 0;
    for (const model_row& row : rows) {
        if (row.cells[column].wall_ms < 0)
            continue;
        wall.push_back(row.cells[column].wall_ms);
        cpu.push_back(row.cells[column].cpu_ms);
        peak_kb = std::max(peak_kb, row.cells[column].peak_kb);
    }
    if (wall.empty()) {
        std::printf("%-14s no thumbnails\n", column_names[column]);
        return;
    }
    std::printf("%-14s %3zu %9.0f %9.0f", column_names[column], wall.size(), median(wall),
                *std::max_element(wall.begin(), wall.end()));
    // The sandbox reaps the program itself: bwrap's own usage says nothing.
    if (with_usage)
        std::printf(" %9.0f %9.0f %9.1f\n", median(cpu), *std::max_element(cpu.begin(), cpu.end()),
                    peak_kb / 1024.0);
    else
        std::printf(" %9s %9s %9s\n", "-", "-", "-");
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

    std::vector<model_row> rows;
    for (const std::string& model : models) {
        std::fprintf(stderr, "%s\n", model.c_str());
        model_row row;
        row.name = std::filesystem::path(model).filename().string();
        row.bytes = static_cast<int64_t>(std::filesystem::file_size(model));
        const std::vector<std::string> thumbnailer = {THUMBNAILER_BINARY, size, model, output};
        const std::vector<std::string> floor_program = {FLOOR_BINARY, size};
        if (sandbox) {
            std::vector<std::string> command = in_sandbox(THUMBNAILER_BINARY, model, folder);
            command.insert(command.end(), thumbnailer.begin(), thumbnailer.end());
            row.cells[ours_sandboxed] = measure(command, "", rounds);
            command = in_sandbox(FLOOR_BINARY, model, folder);
            command.insert(command.end(), floor_program.begin(), floor_program.end());
            row.cells[floor_sandboxed] = measure(command, "", rounds);
        }
        row.cells[ours] = measure(thumbnailer, "", rounds);
        row.cells[floor_outside] = measure(floor_program, "", rounds);
        // assimp cannot convert every model (it crashes on some): f3d gets no turn there.
        const std::string obj = folder + "/model.obj";
        if (!display.empty() && run({"assimp", "export", model, obj}, "").ok)
            row.cells[f3d] = measure({"f3d", "--output=" + folder + "/f3d.png",
                                      "--resolution=" + size + "," + size, obj},
                                     display, rounds);
        std::filesystem::remove(obj);
        rows.push_back(row);
    }
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
    std::filesystem::remove_all(folder);

    std::printf("Wall milliseconds per thumbnail of %s pixels, the median of %d rounds"
                " (-: not run, or failed):\n",
                size.c_str(), rounds);
    std::printf("%-32s %9s", "model", "bytes");
    for (const char* name : column_names)
        std::printf(" %13s", name);
    std::printf("\n");
    for (const model_row& row : rows) {
        std::printf("%-32s %9lld", row.name.c_str(), static_cast<long long>(row.bytes));
        for (const cell& value : row.cells)
            std::printf(" %13s", shown(value).c_str());
        std::printf("\n");
    }
    std::printf("\nOver the models: median and worst wall ms, processor ms, peak MiB\n");
    std::printf("%-14s %3s %9s %9s %9s %9s %9s\n", "", "n", "wall", "worst", "cpu", "worst",
                "peak MiB");
    for (int column = 0; column < column_count; ++column)
        print_summary(rows, column, column >= ours);
    if (!sandbox)
        std::printf("no bwrap: the sandboxed columns are skipped\n");
    if (!peer)
        std::printf("no f3d or assimp (Debian's f3d, assimp-utils): that column is skipped\n");
    int count = 0;
    double value = 0;
    if (sandbox) {
        value = ratio(rows, ours_sandboxed, floor_sandboxed, true, count);
        std::printf("ours / floor, both in bwrap, %d models under 1 MB: %.2f\n", count, value);
    }
    value = ratio(rows, ours, floor_outside, true, count);
    std::printf("ours / floor, both outside, %d models under 1 MB: %.2f\n", count, value);
    value = ratio(rows, f3d, ours, false, count);
    if (count > 0) {
        long ours_peak = 0;
        long f3d_peak = 0;
        for (const model_row& row : rows) {
            if (row.cells[f3d].wall_ms < 0)
                continue;
            ours_peak = std::max(ours_peak, row.cells[ours].peak_kb);
            f3d_peak = std::max(f3d_peak, row.cells[f3d].peak_kb);
        }
        std::printf("f3d / ours, both outside, the %d models f3d drew: %.2f in time, %.2f in "
                    "peak memory\n",
                    count, value, static_cast<double>(f3d_peak) / ours_peak);
    }
    return 0;
}
