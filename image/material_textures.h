// The images that a model's materials name: found on disk, decoded once
// each, and uploaded as OpenGL textures for the materials' drawing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What one material asks for: its diffuse map's *BITMAP (as written, maybe
// empty) and its *MATERIAL_NAME.
struct texture_request {
    std::string bitmap;
    std::string material_name;
};

// A decoded image: RGBA, 8 bits a channel, rows packed, the picture's bottom
// row first, so that a texture coordinate v = 0 samples the bottom row.
struct rgba_image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<unsigned char> texels; // 4 * width * height bytes; emptied by the upload
};

struct material_texture_set {
    std::vector<int32_t> image_of_request; // per request: index into images, or -1 (none)
    std::vector<rgba_image> images;        // each file decoded once, however many requests name it
    std::vector<std::string> files;        // per image: the file it was decoded from
};

// Decoded texels all images together may take: 64 Mi texels, sixteen
// 2048 x 2048 images, far above what a model of this kind uses, and low
// enough that the copies the upload makes stay within a desktop's memory.
constexpr size_t default_texel_budget = size_t{256} << 20;

// Finds and decodes the image of every request: first its bitmap, then its
// material name, as paths under the model's folder, every folder above it
// and each of `texture_folders`, then as a shader defined in the scripts
// there. Images past `texel_budget` bytes of texels are not loaded. Prints
// "aseview: ..." lines on standard error for names not found, files not
// readable and images over the budget; never ends the process.
material_texture_set load_material_textures(const std::vector<texture_request>& requests,
                                            const std::string& model_path,
                                            const std::vector<std::string>& texture_folders,
                                            size_t texel_budget = default_texel_budget);

// Needs a current GL context: one texture object per image (mipmapped,
// GL_REPEAT in s and t, linear filtering, alpha kept), names parallel to
// set.images, 0 for an image that could not be uploaded; releases the
// decoded texels. Leaves the bound texture as it found it.
std::vector<uint32_t> upload_material_textures(material_texture_set& set);
