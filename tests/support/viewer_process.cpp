#include "support/viewer_process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

std::string eventual_content(const temp_dir& dir, const std::string& name,
                             const std::string& expected) {
    std::string content;
    for (int tries = 0; tries < 200 && (content = dir.read(name)) != expected; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    return content;
}

viewer_process::viewer_process(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const std::string& directory) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        if (chdir(directory.c_str()) != 0)
            _exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    stdout_fd_ = out[0];
    stderr_fd_ = err[0];
    fcntl(stdout_fd_, F_SETFL, O_NONBLOCK);
    fcntl(stderr_fd_, F_SETFL, O_NONBLOCK);
}

viewer_process::~viewer_process() {
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close(stdout_fd_);
    close(stderr_fd_);
}

void viewer_process::drain(int timeout_ms) {
    pollfd fds[2] = {{stdout_fd_, POLLIN, 0}, {stderr_fd_, POLLIN, 0}};
    poll(fds, 2, timeout_ms);
    char chunk[4096];
    ssize_t n;
    while ((n = read(stdout_fd_, chunk, sizeof chunk)) > 0)
        output_.append(chunk, static_cast<size_t>(n));
    while ((n = read(stderr_fd_, chunk, sizeof chunk)) > 0)
        errors_.append(chunk, static_cast<size_t>(n));
}

bool viewer_process::running() {
    if (status_ != -1 || pid_ <= 0)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        drain(0);
        return false;
    }
    return true;
}

int viewer_process::wait_exit(double timeout_seconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            status_ = -1;
            pid_ = -1;
            return -1;
        }
        drain(20);
    }
    drain(0);
    return status_ >= 1000 ? -1 : status_;
}

bool viewer_process::wait_output(const std::string& text, double timeout_seconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    while (output_.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline || !running()) {
            drain(0);
            return output_.find(text) != std::string::npos;
        }
        drain(20);
    }
    return true;
}

const std::string& viewer_process::output() {
    drain(0);
    return output_;
}

const std::string& viewer_process::errors() {
    drain(0);
    return errors_;
}
