#include "image/material_textures.h"

#include "image/image_file.h"
#include "image/texture_pixels.h"
#include "image/texture_search.h"
#include "platform/gl.h"

#include <GL/glu.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <utility>

namespace {

// More lines about missing textures would bury the other messages.
constexpr int most_missing_lines = 5;

// What the loading found wrong, gathered for the lines at its end.
struct load_problems {
    std::set<std::string> missing_names;
    int missing_unshown = 0;
    int over_budget = 0;
};

// A material without a bitmap whose name is no path ("Material #3",
// "01 - Default") is a plain colour, not a missing texture.
bool names_a_texture(const texture_request& request) {
    return !request.bitmap.empty() ||
           request.material_name.find_first_of("/\\") != std::string::npos;
}

void note_missing(const texture_request& request, const texture_search& search,
                  load_problems& problems) {
    if (!names_a_texture(request))
        return;
    const std::string& name = request.bitmap.empty() ? request.material_name : request.bitmap;
    if (!problems.missing_names.insert(name).second)
        return;
    if (static_cast<int>(problems.missing_names.size()) > most_missing_lines) {
        ++problems.missing_unshown;
        return;
    }
    const std::string material =
        request.bitmap.empty() ? "" : " (material \"" + request.material_name + "\")";
    std::fprintf(stderr,
                 "aseview: no texture found for \"%s\"%s in %s, nor through their shader "
                 "scripts; -textures DIR adds a folder to search\n",
                 name.c_str(), material.c_str(), searched_places(search).c_str());
}

// Decodes `file` into the set within what is left of the budget; the
// image's index, or -1.
int32_t decode_file(const std::string& file, size_t& budget_left, size_t budget,
                    material_texture_set& set, load_problems& problems) {
    std::FILE* stream = std::fopen(file.c_str(), "rb");
    if (stream == nullptr) {
        std::fprintf(stderr,
                     "aseview: cannot use texture \"%s\": %s; its materials draw in their "
                     "diffuse colour\n",
                     file.c_str(), std::strerror(errno));
        return -1;
    }
    rgba_image image;
    std::string reason;
    const image_outcome outcome = read_image(stream, file, budget_left, image, reason);
    std::fclose(stream);
    if (outcome == image_outcome::unreadable) {
        std::fprintf(stderr,
                     "aseview: cannot use texture \"%s\": %s; its materials draw in their "
                     "diffuse colour\n",
                     file.c_str(), reason.c_str());
        return -1;
    }
    if (outcome == image_outcome::over_budget) {
        if (problems.over_budget++ == 0)
            std::fprintf(stderr,
                         "aseview: texture \"%s\" not loaded: its %s (of %s in all); its "
                         "materials draw in their diffuse colour\n",
                         file.c_str(), reason.c_str(), memory_size_text(budget).c_str());
        return -1;
    }
    budget_left -= image.texels.size();
    set.images.push_back(std::move(image));
    set.files.push_back(file);
    return static_cast<int32_t>(set.images.size() - 1);
}

void release_texels(rgba_image& image) {
    std::vector<unsigned char>().swap(image.texels);
}

} // namespace

material_texture_set load_material_textures(const std::vector<texture_request>& requests,
                                            const std::string& model_path,
                                            const std::vector<std::string>& texture_folders,
                                            size_t texel_budget) {
    material_texture_set set;
    texture_search search = start_texture_search(model_path, texture_folders);
    load_problems problems;
    std::map<std::string, int32_t> image_of_file; // each file is read once, good or bad
    std::map<std::pair<std::string, std::string>, std::string> file_of_names; // searched once
    size_t budget_left = texel_budget;
    for (const texture_request& request : requests) {
        const auto names = std::make_pair(request.bitmap, request.material_name);
        auto searched = file_of_names.find(names);
        if (searched == file_of_names.end())
            searched = file_of_names.emplace(names, find_texture_file(search, request)).first;
        const std::string& file = searched->second;
        if (file.empty()) {
            note_missing(request, search, problems);
            set.image_of_request.push_back(-1);
            continue;
        }
        auto known = image_of_file.find(file);
        if (known == image_of_file.end())
            known = image_of_file
                        .emplace(file, decode_file(file, budget_left, texel_budget, set, problems))
                        .first;
        set.image_of_request.push_back(known->second);
    }
    if (problems.missing_unshown > 0)
        std::fprintf(stderr, "aseview: %d more textures not found\n", problems.missing_unshown);
    if (problems.over_budget > 1)
        std::fprintf(stderr, "aseview: %d more textures not loaded past the %s budget\n",
                     problems.over_budget - 1, memory_size_text(texel_budget).c_str());
    return set;
}

std::vector<uint32_t> upload_material_textures(material_texture_set& set) {
    std::vector<uint32_t> names(set.images.size(), 0);
    GLint max_size = 0;
    GLint bound = 0;
    GLint alignment = 4;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (size_t i = 0; i < set.images.size(); ++i) {
        rgba_image& image = set.images[i];
        if (image.texels.empty())
            continue;
        const tga_image view{image.width, image.height,       4, GL_RGBA, 0, 0,
                             nullptr,     image.texels.data()};
        texture_pixels pixels{};
        GLuint name = 0;
        if (make_texture_pixels(view, max_size, pixels)) {
            glGenTextures(1, &name);
            glBindTexture(GL_TEXTURE_2D, name);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            if (gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, pixels.width, pixels.height, GL_RGBA,
                                  GL_UNSIGNED_BYTE, pixels.pixels) != 0) {
                glDeleteTextures(1, &name);
                name = 0;
            }
        }
        std::free(pixels.owned);
        if (name == 0)
            std::fprintf(stderr,
                         "aseview: cannot upload texture \"%s\": no memory for its copy; its "
                         "materials draw in their diffuse colour\n",
                         set.files[i].c_str());
        names[i] = name;
        release_texels(image);
    }
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return names;
}
