// The material pass ("-materials") in pixels: textures where the file's
// coordinates put them, through the look's tiling, offset and angle; texels
// of low alpha cut out; diffuse colours under 't' and in the light of 'l'.
#include "render/material_draw.h"
#include "render_fixture.h"

#include <cmath>
#include <numbers>

namespace {

using rgba = std::array<GLubyte, 4>;
const rgba red = {255, 0, 0, 255}, blue = {0, 0, 255, 255};

// A quad in the lower half of the window, clear of the panel, its texture
// coordinates running 0..1 left to right and bottom to top.
const std::vector<d_data> quad = {vertex(-60, -70, 0), vertex(60, -70, 0), vertex(60, 10, 0),
                                  vertex(-60, 10, 0)};
const std::vector<std::array<float, 2>> quad_uv = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

class MaterialPass : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        viewer_state.materials = 1;
        viewer_state.use_texture = 1;
    }
    void TearDown() override {
        glDeleteTextures(static_cast<GLsizei>(textures_.size()), textures_.data());
        material_batches.clear();
        material_table = {};
        RenderTest::TearDown();
    }

    // Vertical stripes of equal width across the texture's u, sharp-edged.
    GLuint stripes(const std::vector<rgba>& colours) {
        const int width = 64, height = 4;
        std::vector<GLubyte> texels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const rgba& texel = colours[x * colours.size() / width];
                texels.insert(texels.end(), texel.begin(), texel.end());
            }
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     texels.data());
        textures_.push_back(name);
        return name;
    }

    // The quad in one look (look 1 of the table), with its texture or 0.
    void install_quad(const material_look& look, GLuint texture,
                      const std::vector<c_data>& colours = {}) {
        reset_mesh_store();
        install_mesh(quad, {face(0, 1, 2), face(0, 2, 3)}, colours);
        material_table.looks = {material_look{}, look};
        material_table.tvertices = quad_uv;
        material_table.faces = {{1, {0, 1, 2}}, {1, {0, 2, 3}}};
        material_batches = build_material_batches(mesh_store, material_table, {0, texture});
    }

    // The frame's pixel at the quad's texture coordinate (u, v).
    uint32_t at(const gl_pixels& frame, float u, float v) {
        const auto window = window_point(-60 + 120 * u, -70 + 80 * v, 0);
        return frame.at(static_cast<int>(std::lround(window[0])),
                        static_cast<int>(std::lround(window[1])));
    }

  private:
    std::vector<GLuint> textures_;
};

struct placement_case {
    const char* what;
    float u_tiling, u_offset, angle;
    // What shows at v = 1/2 and u = 1/8, 3/8, 5/8, 7/8: 'r' red, 'b' blue.
    const char* colours;
};

bool is_colour(uint32_t pixel, char colour) {
    return colour == 'r' ? near_colour(pixel, 255, 0, 0, 8) : near_colour(pixel, 0, 0, 255, 8);
}

} // namespace

// A texture red on its left half and blue on its right; the look's tiling
// repeats it from the left edge, its offset moves it by that much of its
// width, and its angle turns it about its middle.
TEST_F(MaterialPass, TiledAndOffsetTexturePutsEachColourWhereItsCoordinatesSay) {
    const float half_turn = std::numbers::pi_v<float>;
    const placement_case cases[] = {
        {"as in the file", 1, 0, 0, "rrbb"},      {"tiled twice", 2, 0, 0, "rbrb"},
        {"moved by half", 1, 0.5f, 0, "bbrr"},    {"tiled and moved", 2, 0.5f, 0, "brbr"},
        {"half a turn", 1, 0, half_turn, "bbrr"},
    };
    const GLuint texture = stripes({red, blue});
    for (const placement_case& c : cases) {
        material_look look;
        look.u_tiling = c.u_tiling;
        look.u_offset = c.u_offset;
        look.angle = c.angle;
        install_quad(look, texture);
        const gl_pixels frame = draw_frame();
        for (int column = 0; column < 4; ++column) {
            const uint32_t pixel = at(frame, (2 * column + 1) / 8.0f, 0.5f);
            EXPECT_TRUE(is_colour(pixel, c.colours[column]))
                << c.what << ", column " << column << ": " << std::hex << pixel;
        }
    }
    // A quarter turn counter-clockwise brings the map's left half to the bottom.
    material_look quarter_turn;
    quarter_turn.angle = half_turn / 2;
    install_quad(quarter_turn, texture);
    const gl_pixels frame = draw_frame();
    EXPECT_TRUE(is_colour(at(frame, 0.5f, 0.25f), 'r')) << std::hex << at(frame, 0.5f, 0.25f);
    EXPECT_TRUE(is_colour(at(frame, 0.5f, 0.75f), 'b')) << std::hex << at(frame, 0.5f, 0.75f);
}

// Stripes of alpha 0, 0.45, 0.55 and 1: the first two are not drawn.
TEST_F(MaterialPass, TexelsUnderHalfAlphaLeaveTheBackground) {
    install_quad(material_look{},
                 stripes({{255, 0, 0, 0}, {255, 0, 0, 115}, {255, 0, 0, 140}, red}));
    const gl_pixels frame = draw_frame();
    EXPECT_TRUE(near_colour(at(frame, 1 / 8.0f, 0.5f), 51, 51, 51, 1));
    EXPECT_TRUE(near_colour(at(frame, 3 / 8.0f, 0.5f), 51, 51, 51, 1));
    EXPECT_FALSE(near_colour(at(frame, 5 / 8.0f, 0.5f), 51, 51, 51, 40));
    EXPECT_TRUE(near_colour(at(frame, 7 / 8.0f, 0.5f), 255, 0, 0, 8));
}

// 't' shows the look's diffuse colour in place of its texture; vertex
// colours multiply either; a look whose image was not found draws its colour.
TEST_F(MaterialPass, TexturesOffShowTheDiffuseColourTimesTheVertexColours) {
    material_look yellow;
    yellow.diffuse[0] = yellow.diffuse[1] = 1;
    yellow.diffuse[2] = 0;
    const GLuint texture = stripes({blue, blue});
    install_quad(yellow, texture);
    EXPECT_TRUE(near_colour(at(draw_frame(), 0.5f, 0.5f), 0, 0, 255, 8));
    viewer_state.use_texture = 0;
    EXPECT_TRUE(near_colour(at(draw_frame(), 0.5f, 0.5f), 255, 255, 0, 8));
    const std::vector<c_data> cyan(4, c_data{{0, 1, 1}});
    install_quad(yellow, texture, cyan);
    EXPECT_TRUE(near_colour(at(draw_frame(), 0.5f, 0.5f), 0, 255, 0, 8));
    viewer_state.use_texture = 1;
    EXPECT_TRUE(near_colour(at(draw_frame(), 0.5f, 0.5f), 0, 0, 255, 8));
    install_quad(yellow, 0);
    EXPECT_TRUE(near_colour(at(draw_frame(), 0.5f, 0.5f), 255, 255, 0, 8));
}

// The lit model keeps its own colours, where the default pass shows the red
// light; the frame after the material pass leaves the light as it was.
TEST_F(MaterialPass, LightingShowsTheLooksOwnColours) {
    material_look green;
    green.diffuse[0] = green.diffuse[2] = 0;
    green.diffuse[1] = 1;
    install_quad(green, 0);
    viewer_state.use_lighting = 1;
    const uint32_t lit = at(draw_frame(), 0.5f, 0.5f);
    EXPECT_GT(static_cast<int>(lit >> 8 & 0xff), 150) << std::hex << lit;
    EXPECT_LT(static_cast<int>(lit >> 16), 30) << std::hex << lit;
    GLfloat light[4];
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, light);
    EXPECT_EQ(light[0], 1.0f);
    EXPECT_EQ(light[1], 0.0f);
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
}
