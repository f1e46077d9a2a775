#include "mesh/text_scanner.h"
#include "support/temp_dir.h"
#include "tests/unit/mesh_fixture.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char* const triangle_model = "*MESH {\n"
                                   "\t*MESH_NUMVERTEX 3\n"
                                   "\t*MESH_NUMFACES 1\n"
                                   "\t*MESH_VERTEX_LIST {\n"
                                   "\t\t*MESH_VERTEX    0\t1.5\t2.0\t-4.0\n"
                                   "\t\t*MESH_VERTEX    1\t0.0\t1.0\t1.5\n"
                                   "\t\t*MESH_VERTEX    2\t-1.0\t0.0\t0.0\n"
                                   "\t}\n"
                                   "\t*MESH_FACE_LIST {\n"
                                   "\t\t*MESH_FACE    0:    A:    0 B:    1 C:    2 AB:    1 "
                                   "BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\n"
                                   "\t}\n"
                                   "}\n";

std::string repeat(char c, size_t n) {
    return std::string(n, c);
}

using AseReader = MeshTest;

ase_options every_mesh() {
    ase_options options;
    options.all_meshes = true;
    return options;
}

// The four arrays as bytes, for comparing two loads.
std::string store_bytes() {
    const auto bytes = [](const void* records, size_t size) {
        return records == nullptr ? std::string("none")
                                  : std::string(static_cast<const char*>(records), size);
    };
    const mesh_store_t& m = mesh_store;
    return bytes(m.v_data, sizeof(d_data) * static_cast<size_t>(m.num_vertex)) +
           bytes(m.f_list, sizeof(f_data) * static_cast<size_t>(m.num_faces)) +
           bytes(m.t_list, sizeof(t_face) * static_cast<size_t>(m.num_tfaces)) +
           bytes(m.v_color, sizeof(c_data) * static_cast<size_t>(m.num_cvertex));
}

} // namespace

TEST_F(AseReader, ReadsCountsPositionsAndFacesOfAnExporterFile) {
    EXPECT_EQ(read_model(triangle_model),
              "Amount of Vertices in this mesh 3\nAmount of faces in this mesh 1\n");
    ASSERT_EQ(mesh_store.num_vertex, 3);
    ASSERT_EQ(mesh_store.num_faces, 1);
    const d_data& v0 = mesh_store.v_data[0];
    EXPECT_FLOAT_EQ(v0.pos[0], 1.5f);
    EXPECT_FLOAT_EQ(v0.pos[1], 2.0f);
    EXPECT_FLOAT_EQ(v0.pos[2], 4.0f) << "z is negated";
    EXPECT_FLOAT_EQ(mesh_store.v_data[1].pos[2], -1.5f);
    EXPECT_EQ(mesh_store.f_list[0].vert[0], 0);
    EXPECT_EQ(mesh_store.f_list[0].vert[1], 1);
    EXPECT_EQ(mesh_store.f_list[0].vert[2], 2);
    EXPECT_EQ(mesh_store.mesh_loaded, 1);
}

TEST_F(AseReader, VertexStoresItsOwnNumber) {
    read_model("*MESH_NUMVERTEX 5\n*MESH_VERTEX 3 1.5 2.0 -4.0\n");
    EXPECT_EQ(mesh_store.v_data[3].index, 3);
    EXPECT_FLOAT_EQ(mesh_store.v_data[3].pos[2], 4.0f);
}

TEST_F(AseReader, KeywordsMatchOnlyAsWholeCaseSensitiveTokens) {
    read_model("*MESH_NUMVERTEX 2\n"
               "*MESH_VERTEXX 0 9 9 9\n"
               "*mesh_vertex 0 9 9 9\n"
               "*MESH_VERTEX_LIST 0 9 9 9\n"
               "MESH_VERTEX 0 9 9 9\n"
               "*MESH_VERTEX 1 7 7 7\n");
    EXPECT_FLOAT_EQ(mesh_store.v_data[0].pos[0], 0.0f);
    EXPECT_FLOAT_EQ(mesh_store.v_data[1].pos[0], 7.0f);
}

TEST_F(AseReader, TextAfterAHandlersValuesIsDiscardedWithItsLine) {
    read_model("*MESH_NUMVERTEX 2\n*MESH_NUMFACES 1\n"
               "*MESH_FACE 0: A: 0 B: 1 C: 1 AB: 1 *MESH_VERTEX 1 5 5 5\n"
               "*MESH_VERTEX 0 3 3 3 *MESH_VERTEX 1 6 6 6\n");
    EXPECT_EQ(mesh_store.f_list[0].vert[2], 1);
    EXPECT_FLOAT_EQ(mesh_store.v_data[0].pos[0], 3.0f);
    // The second vertex on the line follows a handler directly, so it is read.
    EXPECT_FLOAT_EQ(mesh_store.v_data[1].pos[0], 6.0f);
}

TEST_F(AseReader, CrLfLineEndsReadLikeLf) {
    std::string crlf;
    for (const char* c = triangle_model; *c != '\0'; ++c)
        crlf += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
    read_model(triangle_model);
    const d_data expected = mesh_store.v_data[1];
    const std::string output = read_model(crlf);
    EXPECT_EQ(output, "Amount of Vertices in this mesh 3\nAmount of faces in this mesh 1\n");
    EXPECT_FLOAT_EQ(mesh_store.v_data[1].pos[2], expected.pos[2]);
    EXPECT_EQ(mesh_store.f_list[0].vert[2], 2);
}

TEST_F(AseReader, FaceNormalKeepsZAndVertexNormalsFillCornersInFileOrder) {
    read_model("*MESH_NUMVERTEX 10\n*MESH_NUMFACES 5\n"
               "*MESH_FACENORMAL 4 0.0 0.0 -1.0\n"
               "*MESH_VERTEXNORMAL 7 0.0 1.0 0.5\n"
               "*MESH_VERTEXNORMAL 9 1.0 0.0 -0.5\n"
               "*MESH_VERTEXNORMAL 8 0.0 0.0 1.0\n");
    const f_data& face = mesh_store.f_list[4];
    EXPECT_FLOAT_EQ(face.norm[2], -1.0f) << "face normals are stored as in the file";
    EXPECT_EQ(face.nvert[0], 7);
    EXPECT_EQ(face.nvert[1], 9);
    EXPECT_EQ(face.nvert[2], 8);
    EXPECT_FLOAT_EQ(mesh_store.v_data[7].norm[2], -0.5f) << "vertex normals have z negated";
    EXPECT_FLOAT_EQ(mesh_store.v_data[9].norm[2], 0.5f);
    EXPECT_EQ(mesh_store.normal_corner, 0);
}

TEST_F(AseReader, TooFewVertexNormalsShiftTheCornersOfLaterFaces) {
    read_model("*MESH_NUMVERTEX 9\n*MESH_NUMFACES 2\n"
               "*MESH_FACENORMAL 0 0 0 1\n"
               "*MESH_VERTEXNORMAL 1 0 0 1\n*MESH_VERTEXNORMAL 2 0 0 1\n"
               "*MESH_FACENORMAL 1 0 0 1\n"
               "*MESH_VERTEXNORMAL 4 0 0 1\n*MESH_VERTEXNORMAL 5 0 0 1\n"
               "*MESH_VERTEXNORMAL 6 0 0 1\n");
    const f_data& face = mesh_store.f_list[1];
    EXPECT_EQ(face.nvert[2], 4);
    EXPECT_EQ(face.nvert[0], 5);
    EXPECT_EQ(face.nvert[1], 6);
}

TEST_F(AseReader, ExtraVertexNormalWrapsToCornerZeroOfTheSameFace) {
    read_model("*MESH_NUMVERTEX 9\n*MESH_NUMFACES 1\n*MESH_FACENORMAL 0 0 0 1\n"
               "*MESH_VERTEXNORMAL 1 0 0 1\n*MESH_VERTEXNORMAL 2 0 0 1\n"
               "*MESH_VERTEXNORMAL 3 0 0 1\n*MESH_VERTEXNORMAL 8 0 0 1\n");
    EXPECT_EQ(mesh_store.f_list[0].nvert[0], 8);
    EXPECT_EQ(mesh_store.normal_corner, 1);
}

TEST_F(AseReader, LastVertexNormalOfAVertexWins) {
    read_model("*MESH_NUMVERTEX 6\n*MESH_NUMFACES 2\n"
               "*MESH_FACENORMAL 0 0 0 1\n*MESH_VERTEXNORMAL 5 1 0 0.25\n"
               "*MESH_VERTEXNORMAL 5 0 1 0.75\n");
    EXPECT_FLOAT_EQ(mesh_store.v_data[5].norm[0], 0.0f);
    EXPECT_FLOAT_EQ(mesh_store.v_data[5].norm[1], 1.0f);
    EXPECT_FLOAT_EQ(mesh_store.v_data[5].norm[2], -0.75f);
}

TEST_F(AseReader, ColoursAndColourFacesAndTextureFaces) {
    const std::string output =
        read_model("*MESH_NUMVERTEX 3\n*MESH_NUMFACES 2\n*MESH_NUMTVERTEX 3\n"
                   "*MESH_TVERTLIST {\n*MESH_TVERT 0 0.5 0.5 0.0\n}\n"
                   "*MESH_NUMTVFACES 2\n*MESH_TFACE 1 2 0 1\n"
                   "*MESH_NUMCVERTEX 2\n*MESH_VERTCOL 1 0.25 0.5 1.0\n"
                   "*MESH_NUMCVFACES 2\n*MESH_CFACE 1 1 0 1\n");
    EXPECT_EQ(output, "Amount of Vertices in this mesh 3\nAmount of faces in this mesh 2\n")
        << "the colour counts print nothing";
    EXPECT_EQ(mesh_store.num_cvertex, 2);
    EXPECT_EQ(mesh_store.num_cvfaces, 2);
    EXPECT_FLOAT_EQ(mesh_store.v_color[1].rgb[1], 0.5f);
    EXPECT_EQ(mesh_store.f_list[1].cvert[0], 1);
    EXPECT_EQ(mesh_store.f_list[1].cvert[1], 0);
    EXPECT_EQ(mesh_store.t_list[1].tvert[0], 2);
    EXPECT_FLOAT_EQ(mesh_store.v_data[0].u, 0.0f) << "texture vertex lines are skipped";
}

TEST_F(AseReader, NumbersRightAfterTheTextureCountGoToThatVertex) {
    read_model("*MESH_NUMVERTEX 3\n*MESH_NUMTVERTEX 2 0.5 0.75\n");
    EXPECT_FLOAT_EQ(mesh_store.v_data[2].u, 0.5f);
    EXPECT_FLOAT_EQ(mesh_store.v_data[2].v, 0.75f);
}

TEST_F(AseReader, UvwOffsetsGoToTheVertexNamedByRecordZero) {
    read_model("*UVW_U_OFFSET 9.0\n"
               "*MESH_NUMVERTEX 3\n"
               "*MESH_VERTEX 0 0 0 0\n*MESH_VERTEX 2 0 0 0\n"
               "*UVW_U_OFFSET 0.25\n*UVW_V_OFFSET -0.5\n*UVW_U_OFFSET 0.25\n");
    EXPECT_FLOAT_EQ(mesh_store.v_data[0].u, 0.5f);
    EXPECT_FLOAT_EQ(mesh_store.v_data[0].v, -0.5f);
    EXPECT_FLOAT_EQ(mesh_store.v_data[2].u, 0.0f);
}

TEST_F(AseReader, UvwOffsetIsSkippedWhileRecordZeroNamesNoVertex) {
    std::string model = "*MESH_NUMVERTEX 2\n*MESH_VERTEX 0 0 0 0\n";
    read_model(model);
    mesh_store.v_data[0].index = 7; // as a file could never set it, but guards must hold
    testing::internal::CaptureStdout();
    std::string offsets = "*UVW_U_OFFSET 1.0\n";
    std::FILE* file = fmemopen(offsets.data(), offsets.size(), "r");
    scan_ase(file, "model");
    std::fclose(file);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FLOAT_EQ(mesh_store.v_data[0].u, 0.0f);
}

TEST_F(AseReader, FileWithoutMeshLeavesTheStoreEmptyAndPrintsNothing) {
    EXPECT_EQ(read_model("*3DSMAX_ASCIIEXPORT 200\n*COMMENT \"nothing here\"\n"), "");
    EXPECT_EQ(mesh_store.num_vertex, 0);
    EXPECT_EQ(mesh_store.v_data, nullptr);
    EXPECT_EQ(mesh_store.f_list, nullptr);
}

TEST_F(AseReader, ZeroCountsGiveEmptyArraysWithoutMessages) {
    EXPECT_EQ(read_model("*MESH_NUMVERTEX 0\n*MESH_NUMFACES 0\n*MESH_VERTEX 0 1 1 1\n"),
              "Amount of Vertices in this mesh 0\nAmount of faces in this mesh 0\n");
    EXPECT_EQ(mesh_store.mesh_loaded, 1);
}

TEST_F(AseReader, FileEndingRightAfterANumberRunsEachHandlerOnce) {
    EXPECT_EQ(read_model("*MESH_NUMVERTEX 2\n*MESH_NUMFACES 1"),
              "Amount of Vertices in this mesh 2\nAmount of faces in this mesh 1\n");
    EXPECT_EQ(read_model("*MESH_NUMVERTEX 2\n*MESH_NUMFACES 1\n"),
              "Amount of Vertices in this mesh 2\nAmount of faces in this mesh 1\n");
    read_model("*MESH_NUMVERTEX 2\n*MESH_VERTEX 1 1 2 3");
    EXPECT_FLOAT_EQ(mesh_store.v_data[1].pos[2], -3.0f);
}

TEST_F(AseReader, HexAndOctalRecordNumbersFollowTheirPrefix) {
    read_model("*MESH_NUMVERTEX 0x10\n*MESH_VERTEX 0x0A 1 1 1\n*MESH_VERTEX 010 2 2 2\n");
    EXPECT_EQ(mesh_store.num_vertex, 16);
    EXPECT_FLOAT_EQ(mesh_store.v_data[10].pos[0], 1.0f);
    EXPECT_FLOAT_EQ(mesh_store.v_data[8].pos[0], 2.0f);
}

TEST_F(AseReader, LongLinesAreDiscardedIn255CharacterPieces) {
    // After the token "junk", exactly 255 characters are discarded; the
    // keyword that starts the next piece is read like any other token.
    const std::string rest = " " + repeat('x', 254);
    read_model("junk" + rest + "*MESH_NUMVERTEX 4\n");
    EXPECT_EQ(mesh_store.num_vertex, 4);
    // One character later the keyword is cut in two and matches nothing.
    read_model("junk" + rest + "y*MESH_NUMVERTEX 4\n");
    EXPECT_EQ(mesh_store.num_vertex, 0);
}

TEST_F(AseReader, OverlongTokensAreCutAt255Characters) {
    // The first 255 characters are a token; the rest of its line goes with it.
    read_model(repeat('a', 255) + "*MESH_NUMVERTEX 4\n");
    EXPECT_EQ(mesh_store.num_vertex, 0);
    read_model(repeat('a', 10000) + " *MESH_NUMVERTEX 4\n*MESH_NUMVERTEX 5\n");
    EXPECT_EQ(mesh_store.num_vertex, 5);
}

TEST_F(AseReader, RecordsOutsideTheirArraysAreSkipped) {
    read_model("*MESH_VERTEX 0 1 1 1\n*MESH_FACE 0: A: 0 B: 0 C: 0\n"
               "*MESH_FACENORMAL 0 1 1 1\n*MESH_VERTEXNORMAL 0 1 1 1\n"
               "*MESH_VERTCOL 0 1 1 1\n*MESH_CFACE 0 1 1 1\n*MESH_TFACE 0 1 1 1\n"
               "*MESH_NUMVERTEX 2\n*MESH_NUMFACES 2\n*MESH_NUMCVERTEX 1\n"
               "*MESH_VERTEX -1 5 5 5\n*MESH_VERTEX 2 5 5 5\n*MESH_VERTEX 2147483647 5 5 5\n"
               "*MESH_FACE -1: A: 1 B: 1 C: 1\n*MESH_FACE 2: A: 1 B: 1 C: 1\n"
               "*MESH_VERTCOL 1 5 5 5\n*MESH_CFACE 9 1 1 1\n*MESH_TFACE 0 1 1 1\n"
               "*MESH_FACENORMAL 7 1 1 1\n*MESH_VERTEXNORMAL 1 1 1 1\n"
               "*MESH_FACENORMAL 1 1 1 1\n*MESH_VERTEXNORMAL 9 1 1 1\n"
               "*MESH_VERTEXNORMAL 1 0 0 1\n");
    for (int i = 0; i < 2; ++i) {
        EXPECT_FLOAT_EQ(mesh_store.v_data[i].pos[0], 0.0f);
        EXPECT_EQ(mesh_store.f_list[i].vert[0], 0);
    }
    EXPECT_FLOAT_EQ(mesh_store.v_color[0].rgb[0], 0.0f);
    EXPECT_EQ(mesh_store.t_list, nullptr);
    // Every vertex normal line takes a corner, also one before the arrays or
    // after a face normal outside them, so the corners of face 1 are 2 (the
    // line naming vertex 9, written nowhere) and then 0.
    EXPECT_FLOAT_EQ(mesh_store.v_data[1].norm[2], -1.0f);
    EXPECT_EQ(mesh_store.f_list[1].nvert[2], 0);
    EXPECT_EQ(mesh_store.f_list[1].nvert[0], 1);
    EXPECT_EQ(mesh_store.normal_corner, 1);
}

TEST_F(AseReader, MalformedNumbersChangeNothingAndReadingGoesOn) {
    read_model("*MESH_NUMVERTEX 2\n*MESH_VERTEX 1 abc 2 3\n*MESH_VERTEX 0 1 2\n"
               "*MESH_VERTEX 1 4 5 6\n");
    EXPECT_FLOAT_EQ(mesh_store.v_data[0].pos[0], 0.0f);
    EXPECT_FLOAT_EQ(mesh_store.v_data[1].pos[0], 4.0f);
}

// Also from a file: a 0x1A byte, which ends a file read as text on Windows,
// and CR LF line ends read there as on Linux.
TEST_F(AseReader, NulControlAndNonAsciiBytesAreOrdinaryText) {
    const char bytes[] = "*COMMENT \"caf\xc3\xa9\x1a\"\r\n\xff\xfe\n*MESH_\0X 1\n";
    const std::string model = std::string(bytes, sizeof bytes - 1) +
                              "*MESH_NUMVERTEX 2\r\n*MESH_VERTEX 1\t1.5\t2.0\t-4.0\r\n";
    read_model(model);
    EXPECT_EQ(mesh_store.num_vertex, 2);
    temp_dir dir;
    dir.write("model.ase", model);
    reset_mesh_store();
    testing::internal::CaptureStdout();
    load_ase(dir.file("model.ase").c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Amount of Vertices in this mesh 2\n");
    ASSERT_EQ(mesh_store.num_vertex, 2);
    EXPECT_FLOAT_EQ(mesh_store.v_data[1].pos[2], 4.0f);
}

TEST_F(AseReader, ASecondMeshEndsTheProcess) {
    EXPECT_EXIT(read_model_dying(std::string(triangle_model) + triangle_model),
                testing::ExitedWithCode(1),
                "Amount of Vertices in this mesh 3\nAmount of faces in this mesh 1\n"
                "Sorry. only have support for a single mesh\n$");
    EXPECT_EXIT(read_model_dying("*MESH_NUMVERTEX abc\n*MESH_NUMVERTEX 3\n"),
                testing::ExitedWithCode(1), "^Sorry. only have support for a single mesh\n$")
        << "a first count that cannot be read still makes the file's one mesh";
}

TEST_F(AseReader, NegativeOrImpossibleCountsEndTheProcessQuickly) {
    EXPECT_EXIT(read_model_dying("*MESH_NUMVERTEX -5\n"), testing::ExitedWithCode(1),
                "Amount of Vertices in this mesh -5\nerror in d_data \\*alloc_data\\(\\) "
                "function\n$");
    EXPECT_EXIT(read_model_dying("*MESH_NUMVERTEX 1\n*MESH_NUMFACES 2000000000\n"),
                testing::ExitedWithCode(1), "error in f_data \\*alloc_faces\\(\\) function\n$");
    EXPECT_EXIT(read_model_dying("*MESH_NUMCVERTEX 0x7fffffff\n"), testing::ExitedWithCode(1),
                "error in c_data \\*alloc_colors\\(\\) function\n$");
    read_model("*MESH_NUMFACES 9\n*MESH_NUMTVERTEX 1\n");
    EXPECT_EQ(mesh_store.num_tfaces, 9) << "a count the file could hold is accepted";
}

// The reader reads through a buffer of its own; a keyword, a number or a NUL
// byte split across two fills of it reads as anywhere else.
TEST_F(AseReader, ReadsTheSameAcrossTheEdgeOfItsBuffer) {
    const std::string model = "*MESH_NUMVERTEX 3\n*MESH_VERTEX 1 1.5 -2 3\n";
    const char nul_keyword[] = "*MESH_NUMVERTEX\0 7\n";
    const std::string with_nul(nul_keyword, sizeof nul_keyword - 1);
    for (size_t before_edge = 0; before_edge < 30; ++before_edge) {
        const std::string padding(scan_buffer_size - before_edge, ' ');
        read_model(padding + model);
        ASSERT_EQ(mesh_store.num_vertex, 3) << before_edge;
        EXPECT_FLOAT_EQ(mesh_store.v_data[1].pos[1], -2.0f) << before_edge;
        read_model(padding + with_nul);
        EXPECT_EQ(mesh_store.num_vertex, 0) << "a NUL inside a token keeps it from being a keyword";
    }
}

// Three meshes into one store: each one's records after those of the meshes
// before it, and the numbers in its faces and normals shifted alike. A
// number outside its own mesh names nothing rather than a neighbour's
// record, an unset one names the mesh's first record, a mesh without
// colours is marked so, and a second texture set replaces the first.
TEST_F(AseReader, EveryMeshGoesAfterTheMeshesBeforeIt) {
    const std::string output = read_model(
        // Mesh 0: 3 vertices, 1 face, 3 texture vertices, 2 colours.
        "*MESH_NUMVERTEX 3\n*MESH_NUMFACES 1\n*MESH_VERTEX 2 1 1 1\n"
        "*MESH_FACE 0: A: 0 B: 1 C: 3\n*MESH_NUMTVERTEX 3\n*MESH_TFACE 0 2 1 0\n"
        "*MESH_NUMCVERTEX 2\n*MESH_VERTCOL 1 0.5 0.5 0.5\n*MESH_CFACE 0 1 0 1\n"
        "*MESH_FACENORMAL 0 0 0 1\n*MESH_VERTEXNORMAL 0 0 0 1\n*MESH_VERTEXNORMAL 1 0 0 1\n"
        "*MESH_VERTEXNORMAL 2 0 0 1\n"
        // Mesh 1: 4 vertices, 2 faces, two texture sets, no colours.
        "*MESH_NUMVERTEX 4\n*MESH_NUMFACES 2\n*MESH_VERTEX 3 7 7 7\n"
        "*MESH_FACE 1: A: 3 B: 0 C: 2\n*MESH_NUMTVERTEX 5\n*MESH_TFACE 1 4 0 1\n"
        "*MESH_NUMTVERTEX 2\n*MESH_TFACE 0 1 1 0\n"
        "*MESH_FACENORMAL 1 0 1 0\n*MESH_VERTEXNORMAL 2 0 0 1\n*MESH_VERTEXNORMAL 3 0 0 1\n"
        "*MESH_VERTEXNORMAL 0 0 0 1\n"
        // Mesh 2: 1 vertex, 1 face left unset, 1 colour.
        "*MESH_NUMVERTEX 1\n*MESH_NUMFACES 1\n*MESH_NUMCVERTEX 1\n*MESH_VERTCOL 0 0 0 1\n",
        every_mesh());
    EXPECT_EQ(output, "Amount of Vertices in this mesh 3\nAmount of faces in this mesh 1\n"
                      "Amount of Vertices in this mesh 4\nAmount of faces in this mesh 2\n"
                      "Amount of Vertices in this mesh 1\nAmount of faces in this mesh 1\n");
    ASSERT_EQ(mesh_store.num_vertex, 8);
    ASSERT_EQ(mesh_store.num_faces, 4);
    ASSERT_EQ(mesh_store.num_cvertex, 3);
    ASSERT_EQ(mesh_store.num_tfaces, 3);
    const auto corners = [](const int32_t(&field)[3]) {
        return std::vector<int32_t>(std::begin(field), std::end(field));
    };
    using v = std::vector<int32_t>;
    const f_data* f = mesh_store.f_list;
    EXPECT_EQ(corners(f[0].vert), (v{0, 1, -1}));
    EXPECT_EQ(corners(f[0].nvert), (v{0, 1, 2}));
    EXPECT_EQ(corners(f[0].cvert), (v{1, 0, 1}));
    EXPECT_EQ(corners(f[1].vert), (v{3, 3, 3}));
    EXPECT_EQ(corners(f[2].vert), (v{6, 3, 5}));
    EXPECT_EQ(corners(f[2].nvert), (v{5, 6, 3}));
    EXPECT_FLOAT_EQ(f[2].norm[1], 1.0f);
    for (int face : {1, 2})
        EXPECT_EQ(corners(f[face].cvert),
                  (v{uncoloured_corner, uncoloured_corner, uncoloured_corner}));
    EXPECT_EQ(corners(f[3].vert), (v{7, 7, 7}));
    EXPECT_EQ(corners(f[3].cvert), (v{2, 2, 2}));
    EXPECT_EQ(corners(mesh_store.t_list[0].tvert), (v{2, 1, 0}));
    EXPECT_EQ(corners(mesh_store.t_list[1].tvert), (v{4, 4, 3}));
    EXPECT_EQ(corners(mesh_store.t_list[2].tvert), (v{3, 3, 3})) << "the first set is gone";
    EXPECT_FLOAT_EQ(mesh_store.v_data[2].pos[0], 1.0f);
    EXPECT_FLOAT_EQ(mesh_store.v_data[6].pos[2], -7.0f);
    EXPECT_EQ(mesh_store.v_data[6].index, 3) << "a vertex keeps its number inside its mesh";
    EXPECT_FLOAT_EQ(mesh_store.v_data[5].norm[2], -1.0f);
    EXPECT_FLOAT_EQ(mesh_store.v_color[1].rgb[0], 0.5f);
    EXPECT_FLOAT_EQ(mesh_store.v_color[2].rgb[2], 1.0f);
}

// The exports in UTF-16, in both byte orders, read as the 8-bit text their
// code units stand for: the same lines, the same store; and one mesh at a
// time, the same refusal at the second mesh.
TEST_F(AseReader, Utf16ExportsReadAsTheirEightBitForm) {
    for (const char* name :
         {"assimp-ThreeCubesGreen_UTF16LE.ASE", "assimp-ThreeCubesGreen_UTF16BE.ASE"}) {
        SCOPED_TRACE(name);
        std::ifstream file(std::string(REAL_FIXTURES_DIR) + "/" + name, std::ios::binary);
        const std::string wide{std::istreambuf_iterator<char>(file), {}};
        ASSERT_GT(wide.size(), 1000u);
        const bool big_endian = wide[0] == '\xfe';
        std::string narrow;
        for (size_t i = 2; i + 1 < wide.size(); i += 2) {
            const unsigned char first = wide[i], second = wide[i + 1];
            const unsigned unit = big_endian ? first << 8 | second : second << 8 | first;
            narrow += unit < 128 ? static_cast<char>(unit) : '\x80';
        }
        const std::string expected_output = read_model(narrow, every_mesh());
        const std::string expected_store = store_bytes();
        ASSERT_EQ(mesh_store.num_vertex, 24);
        EXPECT_EQ(read_model(wide, every_mesh()), expected_output);
        EXPECT_TRUE(store_bytes() == expected_store);
        EXPECT_EXIT(read_model_dying(wide), testing::ExitedWithCode(1),
                    "^Amount of Vertices in this mesh 8\nAmount of faces in this mesh 12\n"
                    "Sorry. only have support for a single mesh\n$");
    }
}
