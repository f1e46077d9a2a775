#include "image/texture_search.h"

#include "image/shader_scripts.h"
#include "platform/system.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* image_extensions[] = {".tga", ".png", ".jpg", ".jpeg", ".bmp"};

// Real paths are far shorter; a name of thousands of parts only costs time.
constexpr size_t most_path_parts = 32;

// Shader scripts are a few hundred kilobytes at most.
constexpr long long largest_script = 16LL << 20;

std::string lower_case(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool ends_with_ignoring_case(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && lower_case(text.substr(text.size() - end.size())) == end;
}

std::string utf8(const fs::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::string join(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The folder and every folder above it, up to the root.
std::vector<std::string> folder_and_above(const std::string& start) {
    std::vector<std::string> folders;
    std::error_code error;
    fs::path folder = fs::absolute(native_path(start.c_str()), error).lexically_normal();
    if (error)
        folder = native_path(start.c_str()).lexically_normal();
    while (true) {
        if (folder.has_filename() || !folder.has_relative_path())
            folders.push_back(utf8(folder));
        if (!folder.has_relative_path())
            break;
        folder = folder.parent_path();
    }
    return folders;
}

std::string parent_folder(const std::string& folder) {
    const fs::path path = native_path(folder.c_str());
    return path.has_relative_path() ? utf8(path.parent_path()) : folder;
}

const std::multimap<std::string, folder_entry>& folder_listing(texture_search& search,
                                                               const std::string& folder) {
    const auto known = search.listings.find(folder);
    if (known != search.listings.end())
        return known->second;
    std::multimap<std::string, folder_entry> entries;
    std::error_code error;
    for (fs::directory_iterator it(native_path(folder.c_str()), error), end; !error && it != end;
         it.increment(error)) {
        std::error_code kind_error;
        const folder_entry entry{utf8(it->path().filename()), it->is_directory(kind_error),
                                 it->is_regular_file(kind_error)};
        entries.emplace(lower_case(entry.name), entry);
    }
    return search.listings.emplace(folder, std::move(entries)).first->second;
}

// The entries of `folder` named `name` in any case, the same spelling first.
std::vector<folder_entry> entries_named(texture_search& search, const std::string& folder,
                                        const std::string& name) {
    const auto range = folder_listing(search, folder).equal_range(lower_case(name));
    std::vector<folder_entry> entries;
    for (auto it = range.first; it != range.second; ++it)
        entries.push_back(it->second);
    std::stable_partition(entries.begin(), entries.end(),
                          [&](const folder_entry& entry) { return entry.name == name; });
    return entries;
}

// A written name as path parts: backslashes are separators, and a drive
// letter, leading slashes and a leading "base/" (Doom 3's game folder) go.
std::vector<std::string> path_parts(const std::string& name) {
    std::string path = name;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
        path.erase(0, 2);
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    if (parts.size() > 1 && lower_case(parts.front()) == "base")
        parts.erase(parts.begin());
    if (parts.size() > most_path_parts)
        parts.erase(parts.begin(), parts.end() - most_path_parts);
    return parts;
}

// The file name as written, then with each image extension in place of its
// own (or after it, when it has none).
std::vector<std::string> file_name_variants(const std::string& file_name) {
    std::vector<std::string> names{file_name};
    const size_t dot = file_name.rfind('.');
    const std::string stem =
        dot == std::string::npos || dot == 0 ? file_name : file_name.substr(0, dot);
    for (const char* extension : image_extensions)
        if (lower_case(stem + extension) != lower_case(file_name))
            names.push_back(stem + extension);
    return names;
}

// The file at parts[first...] under `folder`, each part in any case.
std::string find_under(texture_search& search, const std::string& folder,
                       const std::vector<std::string>& parts, size_t first,
                       const std::vector<std::string>& file_names) {
    if (first + 1 == parts.size()) {
        for (const std::string& name : file_names)
            for (const folder_entry& entry : entries_named(search, folder, name))
                if (entry.is_file)
                    return join(folder, entry.name);
        return {};
    }
    if (parts[first] == "..")
        return find_under(search, parent_folder(folder), parts, first + 1, file_names);
    for (const folder_entry& entry : entries_named(search, folder, parts[first]))
        if (entry.is_folder) {
            std::string found =
                find_under(search, join(folder, entry.name), parts, first + 1, file_names);
            if (!found.empty())
                return found;
        }
    return {};
}

// The whole path, then ever shorter tails of it, each under every folder.
std::string find_in_folders(texture_search& search, const std::vector<std::string>& parts,
                            const std::vector<std::string>& folders) {
    const std::vector<std::string> file_names = file_name_variants(parts.back());
    for (size_t first = 0; first < parts.size(); ++first)
        for (const std::string& folder : folders) {
            std::string found = find_under(search, folder, parts, first, file_names);
            if (!found.empty())
                return found;
        }
    return {};
}

// The named file from `folders`, then from the -textures folders.
std::string find_named_file(texture_search& search, const std::string& name,
                            const std::vector<std::string>& folders) {
    const std::vector<std::string> parts = path_parts(name);
    if (parts.empty())
        return {};
    std::string found = find_in_folders(search, parts, folders);
    return found.empty() ? find_in_folders(search, parts, search.extra_folders) : found;
}

bool read_text_file(const std::string& path, std::string& text) {
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr)
        return false;
    char buffer[65536];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0 &&
           static_cast<long long>(text.size()) <= largest_script)
        text.append(buffer, count);
    const bool complete = std::ferror(stream) == 0 && std::feof(stream) != 0;
    std::fclose(stream);
    return complete;
}

// Cafu's script beside the model, then Quake 3's scripts/*.shader and
// Doom 3's materials/*.mtr in each searched folder, each folder's files in
// name order.
std::vector<shader_script> list_scripts(texture_search& search) {
    std::vector<shader_script> scripts;
    const std::string& model_folder = search.model_folders.front();
    for (const folder_entry& entry :
         entries_named(search, model_folder, search.model_name + ".cmat"))
        if (entry.is_file)
            scripts.push_back({join(model_folder, entry.name), model_folder});
    std::vector<std::string> folders = search.model_folders;
    folders.insert(folders.end(), search.extra_folders.begin(), search.extra_folders.end());
    const std::pair<const char*, const char*> kinds[] = {{"scripts", ".shader"},
                                                         {"materials", ".mtr"}};
    for (const std::string& folder : folders)
        for (const auto& [script_folder, extension] : kinds)
            for (const folder_entry& holder : entries_named(search, folder, script_folder)) {
                if (!holder.is_folder)
                    continue;
                const std::string holder_path = join(folder, holder.name);
                std::vector<std::string> names;
                for (const auto& [key, entry] : folder_listing(search, holder_path))
                    if (entry.is_file && ends_with_ignoring_case(entry.name, extension))
                        names.push_back(entry.name);
                std::sort(names.begin(), names.end());
                for (const std::string& name : names)
                    scripts.push_back({join(holder_path, name), folder});
            }
    return scripts;
}

// Reads every script once; the first definition of a shader is the one kept.
void read_scripts(texture_search& search) {
    search.scripts_read = true;
    search.scripts = list_scripts(search);
    for (size_t index = 0; index < search.scripts.size(); ++index) {
        std::string text;
        if (!read_text_file(search.scripts[index].path, text))
            continue;
        for (shader_definition& definition : parse_shader_script(text))
            if (search.script_of_shader.emplace(definition.key, index).second)
                search.shader_images.emplace(definition.key, std::move(definition.images));
    }
}

std::string joined_key(const std::vector<std::string>& parts, size_t first) {
    std::string key;
    for (size_t i = first; i < parts.size(); ++i)
        key += (key.empty() ? "" : "/") + parts[i];
    return shader_key(key);
}

// The shader names a written name may stand for: the whole name, and the
// name without an extension; a bitmap also by its tails of two parts or
// more, since a drive and folders of the author's machine often come first.
std::vector<std::string> shader_keys(const std::string& name, bool with_tails) {
    std::vector<std::string> keys;
    std::vector<std::string> parts = path_parts(name);
    if (parts.empty())
        return keys;
    const size_t last_tail = with_tails && parts.size() > 2 ? parts.size() - 2 : 0;
    for (size_t first = 0; first <= last_tail; ++first) {
        keys.push_back(joined_key(parts, first));
        const size_t dot = parts.back().rfind('.');
        if (dot != std::string::npos && dot > 0) {
            std::vector<std::string> stem_parts = parts;
            stem_parts.back().erase(dot);
            keys.push_back(joined_key(stem_parts, first));
        }
    }
    return keys;
}

std::string find_through_shader(texture_search& search, const std::string& key) {
    const auto script = search.script_of_shader.find(key);
    if (script == search.script_of_shader.end())
        return {};
    const std::vector<std::string> folders =
        folder_and_above(search.scripts[script->second].image_folder);
    for (const std::string& image : search.shader_images[key]) {
        std::string found = find_named_file(search, image, folders);
        if (!found.empty())
            return found;
    }
    return {};
}

} // namespace

texture_search start_texture_search(const std::string& model_path,
                                    const std::vector<std::string>& texture_folders) {
    texture_search search;
    const fs::path model = native_path(model_path.c_str());
    const fs::path model_folder = model.has_parent_path() ? model.parent_path() : fs::path(".");
    search.model_folders = folder_and_above(utf8(model_folder));
    for (const std::string& folder : texture_folders)
        search.extra_folders.push_back(folder_and_above(folder).front());
    search.model_name = utf8(model.stem());
    return search;
}

std::string find_texture_file(texture_search& search, const texture_request& request) {
    for (const std::string* name : {&request.bitmap, &request.material_name}) {
        std::string found = find_named_file(search, *name, search.model_folders);
        if (!found.empty())
            return found;
    }
    if (!search.scripts_read)
        read_scripts(search);
    std::vector<std::string> keys = shader_keys(request.material_name, false);
    for (const std::string& key : shader_keys(request.bitmap, true))
        keys.push_back(key);
    for (const std::string& key : keys) {
        std::string found = find_through_shader(search, key);
        if (!found.empty())
            return found;
    }
    return {};
}

std::string searched_places(const texture_search& search) {
    std::string places = search.model_folders.front() + " and every folder above it";
    for (const std::string& folder : search.extra_folders)
        places += ", " + folder;
    return places;
}
