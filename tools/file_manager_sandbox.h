// The sandbox that GNOME's file manager runs a thumbnailer in, as bwrap's
// arguments: no display and no GPU device, a fresh /tmp, /usr read-only, and
// only `program` and `input` (a file or folder) of the rest, both read-only.
// The caller adds the writable output folder and the command.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::string> file_manager_sandbox(const std::string& program,
                                                     const std::string& input) {
    return {"--unshare-all",
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
            input,
            input};
}
