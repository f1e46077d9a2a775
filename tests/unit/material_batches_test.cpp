// The material pass's load-time work: texture coordinates through a look's
// offset, tiling and angle; faces grouped by look, whatever the table says;
// the texture requests and their answers matched back to the looks.
#include "render/material_draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <numbers>
#include <string>

namespace {

struct coordinate_case {
    const char* what;
    float u_offset, v_offset, u_tiling, v_tiling, angle;
    float file_uv[2];
    float drawn_uv[2];
};

d_data at(float x, float y) {
    d_data vertex{};
    vertex.pos[0] = x;
    vertex.pos[1] = y;
    return vertex;
}

f_data corners(int32_t a, int32_t b, int32_t c, int32_t colour) {
    f_data face{};
    const int32_t vertices[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        face.vert[k] = face.nvert[k] = vertices[k];
        face.cvert[k] = colour;
    }
    return face;
}

} // namespace

// Tiling repeats the map from the coordinates' origin, the offset moves it by
// that much of its own size, the angle turns it about its middle.
TEST(MaterialBatches, TilingOffsetAndAngleMoveTheTextureCoordinate) {
    const float quarter_turn = std::numbers::pi_v<float> / 2;
    const coordinate_case cases[] = {
        {"untouched", 0, 0, 1, 1, 0, {0.3f, 0.7f}, {0.3f, 0.7f}},
        {"tiled", 0, 0, 2, 3, 0, {0.3f, 0.7f}, {0.6f, 2.1f}},
        {"offset", 0.25f, -0.5f, 1, 1, 0, {0.3f, 0.7f}, {0.05f, 1.2f}},
        {"offset after tiling", 0.25f, 0.5f, 2, 4, 0, {0.5f, 0.5f}, {0.75f, 1.5f}},
        {"turned", 0, 0, 1, 1, quarter_turn, {1, 0.5f}, {0.5f, 0}},
        {"turned, then tiled", 0, 0, 2, 1, quarter_turn, {0.5f, 1}, {2, 0.5f}},
    };
    for (const coordinate_case& c : cases) {
        material_look look;
        look.u_offset = c.u_offset;
        look.v_offset = c.v_offset;
        look.u_tiling = c.u_tiling;
        look.v_tiling = c.v_tiling;
        look.angle = c.angle;
        float drawn[2];
        transform_texture_coordinate(look, c.file_uv, drawn);
        EXPECT_NEAR(drawn[0], c.drawn_uv[0], 1e-5) << c.what;
        EXPECT_NEAR(drawn[1], c.drawn_uv[1], 1e-5) << c.what;
    }
}

// Faces go to their look's batch in the store's order, the batches ordered
// by texture; a look outside the table, or a face the table does not reach,
// takes the plain look 0; faces the passes do not draw are left out; a
// corner without a texture vertex takes (0, 0) and one without a colour white.
TEST(MaterialBatches, FacesAreGroupedByLookAndBadReferencesTakeThePlainLook) {
    reset_mesh_store();
    alloc_data(3);
    mesh_store.num_vertex = 3;
    mesh_store.v_data[0] = at(0, 0);
    mesh_store.v_data[1] = at(1, 0);
    mesh_store.v_data[2] = at(0, 1);
    alloc_colors(1);
    mesh_store.num_cvertex = 1;
    mesh_store.v_color[0] = c_data{{0.5f, 0.25f, 1}};
    const f_data faces[] = {corners(0, 1, 2, 0), corners(0, 1, 2, uncoloured_corner),
                            corners(0, 1, 9, 0), corners(2, 1, 0, 0),
                            corners(1, 2, 0, 0), corners(0, 2, 1, 0)};
    alloc_faces(6);
    mesh_store.num_faces = 6;
    std::copy(std::begin(faces), std::end(faces), mesh_store.f_list);

    material_table_t table;
    table.looks.resize(3);
    table.looks[1].diffuse[0] = 0.1f;
    table.looks[2].u_tiling = 2;
    table.tvertices = {{0.25f, 0.5f}};
    // Face 5 is beyond the table's faces.
    table.faces = {
        {2, {0, -1, 7}}, {1, {0, 0, 0}}, {1, {0, 0, 0}}, {3, {0, 0, 0}}, {-4, {0, 0, 0}}};
    const std::vector<material_batch> batches = build_material_batches(mesh_store, table, {0, 11});

    // Looks 0 and 2 draw untextured, then look 1 with its texture.
    ASSERT_EQ(batches.size(), 3u);
    EXPECT_EQ(batches[0].corners.size(), 9u) << "faces 3, 4 and 5";
    EXPECT_EQ(batches[0].corners[0].vert, 2);
    EXPECT_EQ(batches[0].corners[3].vert, 1);
    EXPECT_EQ(batches[2].corners.size(), 3u) << "face 1; face 2 is not drawn";
    EXPECT_EQ(batches[2].texture, 11u);
    EXPECT_EQ(batches[2].diffuse[0], 0.1f);
    EXPECT_EQ(batches[2].corners[0].rgb[1], 1.0f) << "an uncoloured corner is white";
    EXPECT_EQ(batches[1].corners.size(), 3u);
    EXPECT_EQ(batches[1].texture, 0u) << "no texture given for look 2";
    const material_corner* corner = batches[1].corners.data();
    EXPECT_EQ(corner[0].uv[0], 0.5f) << "texture vertex 0 tiled twice";
    EXPECT_EQ(corner[0].rgb[1], 0.25f);
    EXPECT_EQ(corner[1].uv[0], 0.0f) << "no texture vertex";
    EXPECT_EQ(corner[2].uv[1], 0.0f) << "a texture vertex beyond the table";
    reset_mesh_store();
}

// Only looks that name an image are searched; each answer goes back to its
// look, an image that was not found to none.
TEST(MaterialBatches, TextureAnswersGoBackToTheLooksThatAskedForThem) {
    material_table_t table;
    table.looks.resize(5);
    table.looks[1].bitmap = "C:\\maps\\crate.tga";
    table.looks[2].name = "textures/base/wall";
    table.looks[4].name = "Material #4";
    const std::vector<texture_request> requests = material_texture_requests(table);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].bitmap, "C:\\maps\\crate.tga");
    EXPECT_EQ(requests[1].material_name, "textures/base/wall");
    EXPECT_EQ(requests[2].material_name, "Material #4");
    material_texture_set set;
    set.image_of_request = {1, -1, 0};
    const std::vector<uint32_t> textures = look_textures(table, set, {30, 40});
    EXPECT_EQ(textures, (std::vector<uint32_t>{0, 40, 0, 0, 30}));
}
