#include "render/model_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The default view, as the reshape and the frame set it up.
constexpr double model_scale = 0.03;
constexpr double eye_z = 5.0;
constexpr double near_plane = 1.0;
constexpr double far_plane = 20.0;
constexpr double half_view_tangent = 0.57735026918962576; // tan(30 degrees)
// A model that covers less of the window than this is too small to make out.
constexpr double least_window_fraction = 0.01;

bool finite_position(const float* position) {
    return std::isfinite(position[0]) && std::isfinite(position[1]) && std::isfinite(position[2]);
}

void take_corner(model_box& box, const float* position) {
    for (int axis = 0; axis < 3; ++axis) {
        if (box.corner_count == 0 || position[axis] < box.low[axis])
            box.low[axis] = position[axis];
        if (box.corner_count == 0 || position[axis] > box.high[axis])
            box.high[axis] = position[axis];
    }
    ++box.corner_count;
}

// Window-relative extent of a projection: lowest and highest x and y, each in
// -1..1 across the window.
struct extent {
    double low[2] = {std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::infinity()};
    double high[2] = {-std::numeric_limits<double>::infinity(),
                      -std::numeric_limits<double>::infinity()};

    bool meets_window() const {
        return low[0] <= 1 && high[0] >= -1 && low[1] <= 1 && high[1] >= -1;
    }

    // Of the whole window's 2 x 2, the fraction that this extent covers.
    double area_fraction() const {
        const double width = std::max(0.0, high[0] - low[0]);
        const double height = std::max(0.0, high[1] - low[1]);
        return width * height / 4.0;
    }
};

extent clipped_to_window(extent projected) {
    for (int axis = 0; axis < 2; ++axis) {
        projected.low[axis] = std::max(projected.low[axis], -1.0);
        projected.high[axis] = std::min(projected.high[axis], 1.0);
    }
    return projected;
}

} // namespace

model_box measure_model_box(const mesh_store_t& mesh) {
    model_box box;
    if (mesh.f_list == nullptr)
        return box;
    for (int32_t i = 0; i < mesh.num_faces; ++i) {
        const f_data& face = mesh.f_list[i];
        if (!face_is_drawn(mesh, face))
            continue;
        for (int k = 0; k < 3; ++k) {
            const float* position = mesh.v_data[face.vert[k]].pos;
            if (finite_position(position))
                take_corner(box, position);
        }
    }
    return box;
}

model_fit fit_model(const model_box& box) {
    model_fit fit;
    if (box.corner_count == 0)
        return fit;
    double squared_diagonal = 0;
    for (int axis = 0; axis < 3; ++axis) {
        const double low = box.low[axis], high = box.high[axis];
        fit.centre[axis] = static_cast<float>((low + high) / 2);
        squared_diagonal += (high - low) * (high - low);
    }
    const double half_diagonal = std::sqrt(squared_diagonal) / 2;
    // A box too small for a float scale is taken as a box of no size.
    const double scale = half_diagonal > 0 ? bundled_half_diagonal / half_diagonal : 1.0;
    if (scale <= std::numeric_limits<float>::max())
        fit.scale = static_cast<float>(scale);
    return fit;
}

view_problem judge_default_view(const model_box& box, int window_width, int window_height) {
    if (box.corner_count == 0 || window_width <= 0 || window_height <= 0)
        return view_problem::none;
    // Distance from the eye along the view of a stored z; the eye looks down -z.
    const auto depth = [](double z) { return eye_z - model_scale * z; };
    const double nearest = depth(box.high[2]), farthest = depth(box.low[2]);
    if (farthest < near_plane || nearest > far_plane)
        return view_problem::outside;

    // The part of the box between the near and far planes, projected corner by
    // corner: the box's picture lies inside the extent of its corners.
    const double aspect = static_cast<double>(window_width) / window_height;
    const double depths[2] = {std::max(nearest, near_plane), std::min(farthest, far_plane)};
    extent projected;
    for (const double corner_depth : depths)
        for (int axis = 0; axis < 2; ++axis)
            for (const double coordinate : {box.low[axis], box.high[axis]}) {
                const double half_window =
                    corner_depth * half_view_tangent * (axis == 0 ? aspect : 1);
                const double at = model_scale * coordinate / half_window;
                projected.low[axis] = std::min(projected.low[axis], at);
                projected.high[axis] = std::max(projected.high[axis], at);
            }
    if (!projected.meets_window())
        return view_problem::outside;
    if (nearest < near_plane)
        return view_problem::crosses_near;
    const double shown = clipped_to_window(projected).area_fraction();
    if (shown < least_window_fraction)
        return projected.area_fraction() < least_window_fraction ? view_problem::too_small
                                                                 : view_problem::outside;
    return view_problem::none;
}
