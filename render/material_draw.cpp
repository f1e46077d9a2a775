#include "render/material_draw.h"

#include "platform/gl.h"
#include "render/drawn_position.h"
#include "render/mesh_draw.h"
#include "render/model_fit.h"
#include "state/viewer_state.h"

#include <algorithm>
#include <cmath>

std::vector<material_batch> material_batches;

namespace {

const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};

material_corner make_corner(const mesh_store_t& mesh, const material_table_t& table,
                            const material_look& look, const f_data& face,
                            const face_material* material, int k) {
    material_corner corner{face.vert[k], face.nvert[k], {0, 0}, {1, 1, 1}};
    float file_uv[2] = {0, 0};
    if (material != nullptr && material->tvert[k] >= 0 &&
        static_cast<size_t>(material->tvert[k]) < table.tvertices.size()) {
        file_uv[0] = table.tvertices[material->tvert[k]][0];
        file_uv[1] = table.tvertices[material->tvert[k]][1];
    }
    transform_texture_coordinate(look, file_uv, corner.uv);
    const int32_t colour = face.cvert[k];
    if (mesh.v_color != nullptr && colour >= 0 && colour < mesh.num_cvertex)
        for (int channel = 0; channel < 3; ++channel)
            corner.rgb[channel] = mesh.v_color[colour].rgb[channel];
    return corner;
}

template <bool fitted>
void draw_batches(const mesh_store_t& mesh, const std::vector<material_batch>& batches) {
    const bool textures_on = viewer_state.use_texture != 0;
    float fitted_position[3];
    uint32_t bound = 0;
    for (const material_batch& batch : batches) {
        // The texture replaces the diffuse colour; vertex colours multiply either.
        const bool textured = textures_on && batch.texture != 0;
        const float* base = textured ? white : batch.diffuse;
        if (textured) {
            glEnable(GL_TEXTURE_2D);
            // Batches of one image follow each other: it is bound once a frame.
            if (batch.texture != bound)
                glBindTexture(GL_TEXTURE_2D, batch.texture);
            bound = batch.texture;
        } else {
            glDisable(GL_TEXTURE_2D);
        }
        glBegin(GL_TRIANGLES);
        for (const material_corner& corner : batch.corners) {
            glNormal3fv(mesh.v_data[corner.nvert].norm);
            glColor3f(base[0] * corner.rgb[0], base[1] * corner.rgb[1], base[2] * corner.rgb[2]);
            glTexCoord2fv(corner.uv);
            glVertex3fv(drawn_position<fitted>(mesh.v_data[corner.vert].pos, fitted_position));
        }
        glEnd();
    }
}

} // namespace

void transform_texture_coordinate(const material_look& look, const float (&file_uv)[2],
                                  float (&drawn_uv)[2]) {
    const double cosine = std::cos(look.angle);
    const double sine = std::sin(look.angle);
    const double u = file_uv[0] - 0.5;
    const double v = file_uv[1] - 0.5;
    drawn_uv[0] = static_cast<float>(look.u_tiling * (cosine * u + sine * v + 0.5) - look.u_offset);
    drawn_uv[1] = static_cast<float>(look.v_tiling * (cosine * v - sine * u + 0.5) - look.v_offset);
}

bool look_names_an_image(const material_look& look) {
    return !look.bitmap.empty() || !look.name.empty();
}

std::vector<texture_request> material_texture_requests(const material_table_t& table) {
    std::vector<texture_request> requests;
    for (const material_look& look : table.looks)
        if (look_names_an_image(look))
            requests.push_back({look.bitmap, look.name});
    return requests;
}

std::vector<uint32_t> look_textures(const material_table_t& table, const material_texture_set& set,
                                    const std::vector<uint32_t>& names) {
    std::vector<uint32_t> textures(table.looks.size(), 0);
    size_t request = 0;
    for (size_t look = 0; look < table.looks.size(); ++look) {
        if (!look_names_an_image(table.looks[look]))
            continue;
        if (request < set.image_of_request.size()) {
            const int32_t image = set.image_of_request[request];
            if (image >= 0 && static_cast<size_t>(image) < names.size())
                textures[look] = names[image];
        }
        ++request;
    }
    return textures;
}

std::vector<material_batch> build_material_batches(const mesh_store_t& mesh,
                                                   const material_table_t& table,
                                                   const std::vector<uint32_t>& textures) {
    const material_look plain_look;
    const size_t look_count = std::max<size_t>(table.looks.size(), 1);
    std::vector<material_batch> batches(look_count);
    for (size_t look = 0; look < look_count; ++look) {
        const material_look& source = look < table.looks.size() ? table.looks[look] : plain_look;
        for (int channel = 0; channel < 3; ++channel)
            batches[look].diffuse[channel] = source.diffuse[channel];
        batches[look].texture = look < textures.size() ? textures[look] : 0;
    }
    const int32_t face_count = mesh.f_list != nullptr ? mesh.num_faces : 0;
    for (int32_t i = 0; i < face_count; ++i) {
        const f_data& face = mesh.f_list[i];
        if (!face_is_drawn(mesh, face))
            continue;
        const face_material* material =
            static_cast<size_t>(i) < table.faces.size() ? &table.faces[i] : nullptr;
        size_t look = material != nullptr ? static_cast<size_t>(material->look) : 0;
        if (look >= look_count)
            look = 0;
        const material_look& source = look < table.looks.size() ? table.looks[look] : plain_look;
        for (int k = 0; k < 3; ++k)
            batches[look].corners.push_back(make_corner(mesh, table, source, face, material, k));
    }
    std::erase_if(batches, [](const material_batch& batch) { return batch.corners.empty(); });
    std::stable_sort(
        batches.begin(), batches.end(),
        [](const material_batch& a, const material_batch& b) { return a.texture < b.texture; });
    return batches;
}

void draw_material_pass(const mesh_store_t& mesh, const std::vector<material_batch>& batches) {
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT |
                 GL_LINE_BIT | GL_CURRENT_BIT);
    // No environment map over the materials; the texture gives the colour.
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // Leaves and fences: texels under half alpha are cut out, as games draw them.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, 0.5f);
    glEnable(GL_NORMALIZE);
    smooth_lines();
    glLineWidth(2.0f);
    // A white light without highlight on the corners' colours, so that a lit
    // model keeps its own colours.
    if (viewer_state.use_lighting != 0) {
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_SPECULAR, black);
        glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
        glEnable(GL_COLOR_MATERIAL);
    } else {
        glDisable(GL_LIGHTING);
    }
    if (viewer_state.fit_view != 0)
        draw_batches<true>(mesh, batches);
    else
        draw_batches<false>(mesh, batches);
    glPopAttrib();
}
