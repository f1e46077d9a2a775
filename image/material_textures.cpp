#include "image/material_textures.h"

material_texture_set load_material_textures(const std::vector<texture_request>& requests,
                                            const std::string&, const std::vector<std::string>&) {
    material_texture_set set;
    set.image_of_request.assign(requests.size(), -1);
    return set;
}

std::vector<uint32_t> upload_material_textures(material_texture_set& set) {
    return std::vector<uint32_t>(set.images.size(), 0);
}
