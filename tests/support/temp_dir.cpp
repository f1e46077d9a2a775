#include "support/temp_dir.h"

#include "support/posix.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

temp_dir::temp_dir() {
    std::string pattern = (fs::temp_directory_path() / "aseview-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

temp_dir::~temp_dir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void temp_dir::write(const std::string& name, const std::string& content) const {
    std::ofstream(file(name), std::ios::binary) << content;
}

std::string temp_dir::read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool temp_dir::exists(const std::string& name) const {
    return fs::exists(file(name));
}

void temp_dir::copy_in(const std::string& source, const std::string& name) const {
    fs::copy_file(source, file(name), fs::copy_options::overwrite_existing);
}
