#include "render/model_fit.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

d_data at(float x, float y, float z) {
    d_data record{};
    record.pos[0] = x;
    record.pos[1] = y;
    record.pos[2] = z;
    return record;
}

f_data corners(int32_t a, int32_t b, int32_t c) {
    f_data record{};
    const int32_t indices[3] = {a, b, c};
    for (int k = 0; k < 3; ++k)
        record.vert[k] = record.nvert[k] = indices[k];
    return record;
}

// A store over the test's own arrays, as the reader would leave it.
mesh_store_t store_of(std::vector<d_data>& vertices, std::vector<f_data>& faces) {
    mesh_store_t mesh;
    mesh.num_vertex = static_cast<int32_t>(vertices.size());
    mesh.num_faces = static_cast<int32_t>(faces.size());
    mesh.v_data = vertices.empty() ? nullptr : vertices.data();
    mesh.f_list = faces.empty() ? nullptr : faces.data();
    return mesh;
}

model_box box_of(float low_x, float low_y, float low_z, float high_x, float high_y, float high_z) {
    model_box box;
    box.low[0] = low_x, box.low[1] = low_y, box.low[2] = low_z;
    box.high[0] = high_x, box.high[1] = high_y, box.high[2] = high_z;
    box.corner_count = 3;
    return box;
}

const float not_a_number = std::numeric_limits<float>::quiet_NaN();
const float infinity = std::numeric_limits<float>::infinity();

struct fit_case {
    std::string what;
    std::vector<d_data> vertices;
    std::vector<f_data> faces;
    int32_t corner_count;
    std::array<float, 3> low, high, centre;
    float scale;
};

} // namespace

// The box holds only the corners the passes draw, with finite coordinates;
// the fit centres it and brings its half-diagonal to the bundled model's.
TEST(ModelFit, BoxCoversTheDrawnCornersAndTheFitCentresAndScalesIt) {
    f_data bad_normal = corners(4, 4, 4);
    bad_normal.nvert[1] = 9;
    const std::vector<d_data> far_box = {
        at(1000, -10, -20), at(1006, -2, -20),      at(1000, -2, 4),   at(5e6f, 5e6f, 5e6f),
        at(-7e6f, 0, 0),    at(not_a_number, 0, 0), at(0, infinity, 0)};
    fit_case cases[] = {
        {"used corners only: unused, badly indexed and non-finite vertices left out",
         far_box,
         {corners(0, 1, 2), corners(0, 3, 9), bad_normal, corners(5, 6, 2)},
         4,
         {1000, -10, -20},
         {1006, -2, 4},
         {1003, -6, -8},
         bundled_half_diagonal / 13},
        {"one vertex keeps factor 1",
         {at(7, 8, 9)},
         {corners(0, 0, 0)},
         3,
         {7, 8, 9},
         {7, 8, 9},
         {7, 8, 9},
         1},
        {"empty mesh", {}, {}, 0, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, 1},
        {"faces but no vertex array",
         {},
         {corners(0, 0, 0)},
         0,
         {0, 0, 0},
         {0, 0, 0},
         {0, 0, 0},
         1},
        {"only non-finite corners",
         {at(not_a_number, 1, 1), at(1, -infinity, 1)},
         {corners(0, 1, 0)},
         0,
         {0, 0, 0},
         {0, 0, 0},
         {0, 0, 0},
         1},
        {"a box too small for a float scale keeps factor 1",
         {at(0, 0, 0), at(1e-44f, 0, 0)},
         {corners(0, 1, 1)},
         3,
         {0, 0, 0},
         {1e-44f, 0, 0},
         {1e-44f / 2, 0, 0},
         1},
    };
    for (fit_case& c : cases) {
        SCOPED_TRACE(c.what);
        const mesh_store_t mesh = store_of(c.vertices, c.faces);
        const model_box box = measure_model_box(mesh);
        EXPECT_EQ(box.corner_count, c.corner_count);
        const model_fit fit = fit_model(box);
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_EQ(box.low[axis], c.low[axis]) << axis;
            EXPECT_EQ(box.high[axis], c.high[axis]) << axis;
            EXPECT_FLOAT_EQ(fit.centre[axis], c.centre[axis]) << axis;
        }
        EXPECT_FLOAT_EQ(fit.scale, c.scale);
    }

    // The largest floats still give a finite centre and scale, and the drawn
    // corners stay finite.
    const model_fit huge = fit_model(box_of(-3e38f, -3e38f, 0, 3e38f, 3e38f, 3e38f));
    EXPECT_GT(huge.scale, 0);
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_TRUE(std::isfinite(huge.centre[axis]));
    EXPECT_TRUE(std::isfinite((3e38 - huge.centre[2]) * huge.scale));
}

// The default view shows about -128..128 units across at the origin's
// depth; the eye is 167 units in front of the origin, and the near plane 33
// units in front of the eye.
TEST(ModelFit, DefaultViewJudgesFarTinyAndTooNearModels) {
    const struct {
        const char* what;
        model_box box;
        view_problem expected;
    } cases[] = {
        {"the bundled model", box_of(-44.79f, -52.1941f, -22.9637f, 55, 52.1941f, 22.9637f),
         view_problem::none},
        {"a model larger than the view", box_of(-500, -500, -50, 500, 500, 50), view_problem::none},
        {"no model", model_box{}, view_problem::none},
        {"far to the side", box_of(1500, -360, -160, 1540, -320, -40), view_problem::outside},
        {"a sliver at the edge", box_of(125, -50, -1, 10000, 50, 1), view_problem::outside},
        {"behind the eye", box_of(-10, -10, 200, 10, 10, 300), view_problem::outside},
        {"beyond the far plane", box_of(-10, -10, -900, 10, 10, -600), view_problem::outside},
        {"a unit cube at the origin", box_of(0, 0, 0, 1, 1, 1), view_problem::too_small},
        {"reaching past the near plane", box_of(-20, -20, 0, 20, 20, 150),
         view_problem::crosses_near},
    };
    for (const auto& c : cases)
        EXPECT_EQ(judge_default_view(c.box, 640, 480), c.expected) << c.what;
}
