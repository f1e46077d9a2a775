#include "support/temp_dir.h"

#include "support/posix.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

#ifdef _WIN32
namespace {

// On Windows a death test runs its test again in a new process, which ends
// inside the test without destroying its objects; the directories still
// there when it exits are removed then.
std::set<std::string>& live_directories() {
    static std::set<std::string> paths;
    return paths;
}

void remove_live_directories() {
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path(), ignored);
    for (const std::string& path : live_directories())
        fs::remove_all(path, ignored);
}

} // namespace
#endif

temp_dir::temp_dir() {
    std::string pattern = (fs::temp_directory_path() / "aseview-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
#ifdef _WIN32
    // The set is made before the exit handler is registered, so it outlives it.
    std::set<std::string>& live = live_directories();
    [[maybe_unused]] static const bool removed_at_exit =
        (std::atexit(remove_live_directories), true);
    live.insert(path_);
#endif
}

temp_dir::~temp_dir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
#ifdef _WIN32
    live_directories().erase(path_);
#endif
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
