// The images that the materials name: found, decoded and handed to OpenGL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct texture_request {
    std::string bitmap;
    std::string material_name;
};
struct rgba_image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<unsigned char> texels;
}; // RGBA8, bottom row first
struct material_texture_set {
    std::vector<int32_t> image_of_request; // per request: index into images, or -1
    std::vector<rgba_image> images;        // each file decoded once
};
// Finds and decodes; prints the "aseview: ..." texture lines on stderr; never ends the process.
material_texture_set load_material_textures(const std::vector<texture_request>& requests,
                                            const std::string& model_path,
                                            const std::vector<std::string>& texture_folders);
// Needs a current GL context: one texture object per image (mipmapped, GL_REPEAT, alpha kept),
// names parallel to set.images; releases the decoded texels.
std::vector<uint32_t> upload_material_textures(material_texture_set& set);
