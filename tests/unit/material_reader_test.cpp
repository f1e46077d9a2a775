#include "mesh/materials.h"
#include "tests/unit/mesh_fixture.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using MaterialReader = MeshTest;

ase_options with_materials(bool all_meshes, bool materials = true) {
    ase_options options;
    options.all_meshes = all_meshes;
    options.materials = materials;
    return options;
}

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The console text and the four arrays, byte for byte.
std::string console_and_store(const std::string& text, const ase_options& options) {
    std::string out = read_model(text, options);
    const mesh_store_t& m = mesh_store;
    const auto bytes = [&out](const void* records, size_t size) {
        if (records != nullptr)
            out.append(static_cast<const char*>(records), size);
    };
    bytes(m.v_data, sizeof(d_data) * static_cast<size_t>(m.num_vertex));
    bytes(m.f_list, sizeof(f_data) * static_cast<size_t>(m.num_faces));
    bytes(m.t_list, sizeof(t_face) * static_cast<size_t>(m.num_tfaces));
    bytes(m.v_color, sizeof(c_data) * static_cast<size_t>(m.num_cvertex));
    return out;
}

std::string face_line(int face, int id, const std::string& smoothing = "1") {
    return "*MESH_FACE " + std::to_string(face) + ": A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 1\t" +
           "*MESH_SMOOTHING " + smoothing + " \t*MESH_MTLID " + std::to_string(id) + "\n";
}

std::string mesh_header(int faces) {
    return "*GEOMOBJECT {\n*MESH {\n*MESH_NUMVERTEX 3\n*MESH_NUMFACES " + std::to_string(faces) +
           "\n*MESH_VERTEX 0 0 0 0\n*MESH_VERTEX 1 1 0 0\n*MESH_VERTEX 2 0 1 0\n";
}

// A red textured material, and a Multi/Sub-Object whose sub-material 1 has
// sub-materials of its own (three slots, two written). Three objects read
// whole: the first picks sub-materials by id, once on a face line longer
// than the reader looks ahead, and has a lightmap channel; the
// second uses the red material; the third names a material that is not in
// the list.
std::string material_model() {
    // Longer than the 4 KiB looked ahead after a face's corners: the tokens
    // that discard the line, 255 bytes at a time, find its id.
    std::string long_smoothing = "1";
    while (long_smoothing.size() < 5000)
        long_smoothing += ",1";
    return "*MATERIAL_LIST {\n*MATERIAL_COUNT 2\n"
           "*MATERIAL 0 {\n*MATERIAL_NAME \"red \\\\ crate\"\n*MATERIAL_DIFFUSE 1.0 0.0 0.0\n"
           "*MAP_BUMP {\n*BITMAP \"bump.tga\"\n*UVW_U_TILING 9.0\n}\n"
           "*MAP_DIFFUSE {\n*BITMAP \"C:\\maps\\crate {1}.tga\"\n*UVW_U_OFFSET 0.25\n"
           "*UVW_V_OFFSET -0.5\n*UVW_U_TILING 2.0\n*UVW_V_TILING 3.0\n*UVW_ANGLE 0.5\n}\n}\n"
           "*MATERIAL 1 {\n*MATERIAL_NAME \"multi\"\n*NUMSUBMTLS 2\n"
           "*SUBMATERIAL 0 {\n*MATERIAL_NAME \"sub zero\n*MATERIAL_DIFFUSE 0 0 1\n}\n"
           "*SUBMATERIAL 1 {\n*MATERIAL_NAME \"sub one\"\n*NUMSUBMTLS 3\n"
           "*SUBMATERIAL 0 {\n*MATERIAL_NAME \"deep 0\"\n}\n"
           "*SUBMATERIAL 1 {\n*MATERIAL_NAME \"deep 1\"\n}\n}\n}\n}\n" +
           mesh_header(4) + face_line(0, 0) + face_line(1, 3) + face_line(2, 5) +
           face_line(3, 7, long_smoothing) +
           "*MESH_NUMTVERTEX 2\n*MESH_TVERT 0 0.1 0.2 0\n*MESH_TVERT 1 0.3 0.4 0\n"
           "*MESH_TFACE 0 0 1 1\n*MESH_TFACE 1 1 0 5\n"
           "*MESH_MAPPINGCHANNEL 2 {\n*MESH_NUMTVERTEX 1\n*MESH_TVERT 0 9 9 9\n"
           "*MESH_TFACE 0 0 0 0\n}\n}\n*MATERIAL_REF 1\n}\n" +
           mesh_header(2) + face_line(0, 0) + face_line(1, 0) +
           "*MESH_NUMTVERTEX 3\n*MESH_TVERT 0 0.5 0.5 0\n*MESH_TVERT 2 0.7 0.8 0\n"
           "*MESH_TFACE 0 2 1 0\n}\n*MATERIAL_REF 0\n}\n" +
           mesh_header(1) + face_line(0, 0) + "}\n*MATERIAL_REF 7\n}\n";
}

} // namespace

TEST_F(MaterialReader, FacesTakeTheirMeshsMaterialAndSubMaterialById) {
    const std::string model = material_model();
    const std::string without = console_and_store(model, with_materials(true, false));
    EXPECT_EQ(console_and_store(model, with_materials(true)), without)
        << "the store and the console are the same with and without -materials";

    const material_table_t& table = material_table;
    std::vector<std::string> names;
    for (const material_look& look : table.looks)
        names.push_back(look.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"", "sub zero", "deep 0", "deep 1", "red \\\\ crate"}))
        << "the default first, then every material a face reaches, once";
    ASSERT_EQ(table.faces.size(), 7u);
    std::vector<int32_t> looks;
    for (const face_material& face : table.faces)
        looks.push_back(face.look);
    // Ids 0, 3 (1 then 0), 5 (1 then 2: a slot without a material), 7 on
    // the long line (1 then 1); the red material twice; a missing material.
    EXPECT_EQ(looks, (std::vector<int32_t>{1, 2, 0, 3, 4, 4, 0}));

    const material_look& red = table.looks[4];
    EXPECT_EQ(red.bitmap, "C:\\maps\\crate {1}.tga") << "the diffuse map's, not the bump map's";
    EXPECT_FLOAT_EQ(red.diffuse[0], 1.0f);
    EXPECT_FLOAT_EQ(red.diffuse[2], 0.0f);
    EXPECT_FLOAT_EQ(red.u_offset, 0.25f);
    EXPECT_FLOAT_EQ(red.v_offset, -0.5f);
    EXPECT_FLOAT_EQ(red.u_tiling, 2.0f);
    EXPECT_FLOAT_EQ(red.v_tiling, 3.0f);
    EXPECT_FLOAT_EQ(red.angle, 0.5f);
    EXPECT_FLOAT_EQ(table.looks[1].diffuse[2], 1.0f) << "an unclosed quote takes the line";
    EXPECT_FLOAT_EQ(table.looks[0].diffuse[0], 0.5882f);

    ASSERT_EQ(table.tvertices.size(), 5u) << "the lightmap channel adds no texture vertices";
    EXPECT_FLOAT_EQ(table.tvertices[1][1], 0.4f);
    EXPECT_FLOAT_EQ(table.tvertices[4][0], 0.7f);
    const auto corners = [&](size_t face) {
        const int32_t* t = table.faces[face].tvert;
        return std::vector<int32_t>{t[0], t[1], t[2]};
    };
    EXPECT_EQ(corners(0), (std::vector<int32_t>{0, 1, 1})) << "not the lightmap's face";
    EXPECT_EQ(corners(1), (std::vector<int32_t>{1, 0, -1})) << "a vertex outside the mesh";
    EXPECT_EQ(corners(4), (std::vector<int32_t>{4, 3, 2})) << "the second mesh's vertices follow";
    EXPECT_EQ(corners(5), (std::vector<int32_t>{-1, -1, -1}));
    EXPECT_EQ(corners(6), (std::vector<int32_t>{-1, -1, -1}));
}

TEST_F(MaterialReader, RealFilesReadTheSameStoreAndEveryFaceGetsAValidLook) {
    const std::string flashlight = "/unv-vega/models/mapobjects/vega/flashlight/flashlight.ase";
    for (const std::string& path :
         {std::string(REAL_FIXTURES_DIR) + "/cafu-box1a.ase",
          std::string(REAL_FIXTURES_DIR) + "/assimp-ThreeCubesGreen_UTF16BE.ASE",
          std::string(REAL_TEXTURED_FIXTURES_DIR) + flashlight}) {
        SCOPED_TRACE(path);
        const std::string model = read_file(path);
        ASSERT_FALSE(model.empty());
        const std::string without = console_and_store(model, with_materials(true, false));
        EXPECT_EQ(console_and_store(model, with_materials(true)), without);
        ASSERT_EQ(material_table.faces.size(), static_cast<size_t>(mesh_store.num_faces));
        for (const face_material& face : material_table.faces) {
            ASSERT_LT(static_cast<size_t>(face.look), material_table.looks.size());
            for (int32_t corner : face.tvert)
                ASSERT_LT(corner, static_cast<int32_t>(material_table.tvertices.size()));
        }
    }
    // The flashlight: one Multi/Sub-Object, 144 faces of id 0, 16 of id 1.
    ASSERT_EQ(material_table.looks.size(), 3u);
    std::vector<int> faces_of_look(3);
    for (const face_material& face : material_table.faces) {
        ++faces_of_look[static_cast<size_t>(face.look)];
        EXPECT_GE(face.tvert[0], 0);
    }
    for (size_t look = 1; look < 3; ++look) {
        const bool glow =
            material_table.looks[look].name == "textures/vega_custom/white_nonsolid_glow";
        SCOPED_TRACE(material_table.looks[look].name);
        EXPECT_TRUE(glow || material_table.looks[look].name ==
                                "models/mapobjects/vega/flashlight/flashlight");
        EXPECT_EQ(faces_of_look[look], glow ? 16 : 144);
        EXPECT_FLOAT_EQ(material_table.looks[look].diffuse[0], glow ? 1.0f : 0.1673f);
    }
    EXPECT_EQ(material_table.tvertices.size(), 137u);
}

TEST_F(MaterialReader, HostileMaterialListsCostWhatTheFileHolds) {
    // Claimed counts allocate nothing; a negative id wraps as a modulo does.
    read_model(
        "*MATERIAL_LIST {\n*MATERIAL_COUNT 2000000000\n*MATERIAL 0 {\n"
        "*NUMSUBMTLS 2147483647\n*SUBMATERIAL 2147483646 {\n*MATERIAL_NAME \"last\"\n}\n}\n}\n" +
            mesh_header(1) + face_line(0, -1) +
            "*MESH_NUMTVERTEX 2000000000\n*MESH_TVERT 5 1 1 1\n*MESH_TFACE 0 5 5 5\n}\n"
            "*MATERIAL_REF 0\n}\n",
        with_materials(false));
    ASSERT_EQ(material_table.looks.size(), 2u);
    EXPECT_EQ(material_table.looks[1].name, "last");
    EXPECT_TRUE(material_table.tvertices.empty()) << "a count the file cannot hold is refused";
    EXPECT_EQ(material_table.faces[0].tvert[0], -1);

    // Counts that come again and again cost nothing each time: the table's
    // arrays are made once, when the file ends (a vector resized at each
    // count took hours on this file, past the test's time limit).
    // Under the sanitizers every store array comes from calloc, which clears
    // each count's records again, so fewer rounds keep the read short there.
#ifdef ASEVIEW_SANITIZED
    constexpr int rounds = 100;
#else
    constexpr int rounds = 20000;
#endif
    std::string repeated = "*MESH_NUMVERTEX 3\n";
    for (int round = 0; round < rounds; ++round)
        repeated += "*MESH_NUMFACES 1000000\n*MESH_NUMTVERTEX 1000000\n*MESH_TVERT 999999 1 1 1\n"
                    "*MESH_NUMTVERTEX 0\n";
    read_model(repeated, with_materials(false));
    EXPECT_EQ(material_table.faces.size(), 1000000u);
    EXPECT_TRUE(material_table.tvertices.empty());

    // Sub-materials nested 100000 deep, and a list left open: materials
    // deeper than a few levels are not read as materials, and the object
    // still finds its material.
    std::string deep = "*MATERIAL_LIST {\n*MATERIAL 0 {\n";
    for (int level = 1; level <= 100000; ++level)
        deep += "*MATERIAL_NAME \"level " + std::to_string(level) + "\"\n*SUBMATERIAL 0 {\n";
    read_model(deep + mesh_header(1) + face_line(0, 0) + "}\n*MATERIAL_REF 0\n}\n",
               with_materials(true));
    ASSERT_EQ(material_table.looks.size(), 2u);
    EXPECT_EQ(material_table.looks[1].name, "level 16");
    ASSERT_EQ(material_table.faces.size(), 1u);
    EXPECT_EQ(material_table.faces[0].look, 1);
}
