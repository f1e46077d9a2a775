// A directory of a test's own, for files it writes and reads back.
#pragma once

#include <string>

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
