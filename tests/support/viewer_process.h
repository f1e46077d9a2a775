// Runs a program in a directory of its own as a person would from a console,
// and reads what it prints and how it ends.
#pragma once

#include <string>
#include <vector>

// A fresh directory under the system's temporary folder, removed with its
// contents when the object goes.
class temp_dir {
  public:
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;
    void copy_in(const std::string& source, const std::string& name) const;

  private:
    std::string path_;
};

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
