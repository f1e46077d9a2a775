// Runs a program in a directory of its own as a person would from a console,
// and reads what it prints and how it ends.
#pragma once

#include "support/temp_dir.h"

#include <string>
#include <vector>

// What file `name` of `dir` holds once it holds `expected`, or after a few
// seconds whatever it holds then: the viewer writes its dumps after the
// lines a test waits for.
std::string eventual_content(const temp_dir& dir, const std::string& name,
                             const std::string& expected);

class viewer_process {
  public:
    // Starts `program` with `arguments` in `directory`; stdout and stderr are
    // read through pipes.
    viewer_process(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& directory);
    ~viewer_process();
    viewer_process(const viewer_process&) = delete;
    viewer_process& operator=(const viewer_process&) = delete;

    // Waits for the process to end; its exit status, or -1 when it did not end
    // in time (it is then killed) or ended by a signal.
    int wait_exit(double timeout_seconds = 10);
    // Waits until stdout holds `text`; false if it does not in time.
    bool wait_output(const std::string& text, double timeout_seconds = 10);
    bool running();
    const std::string& output(); // everything read from stdout so far
    const std::string& errors(); // everything read from stderr so far
    int pid() const { return pid_; }

  private:
    void drain(int timeout_ms);
    int pid_ = -1;
    int stdout_fd_ = -1;
    int stderr_fd_ = -1;
    int status_ = -1;
    std::string output_;
    std::string errors_;
};
