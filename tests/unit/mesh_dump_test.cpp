#include "mesh/mesh_dump.h"
#include "support/viewer_process.h"
#include "tests/unit/mesh_fixture.h"

#include <filesystem>

namespace {

// Runs each test in a directory of its own, since the dumps go to the
// current directory.
class MeshDump : public MeshTest {
  protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        MeshTest::TearDown();
    }
    std::string dump_all() {
        testing::internal::CaptureStdout();
        dump_data();
        dump_norm();
        dump_vnorm();
        return testing::internal::GetCapturedStdout();
    }
    temp_dir dir_;
    std::filesystem::path previous_;
};

} // namespace

TEST_F(MeshDump, WritesEveryFileByteForByte) {
    read_model("*MESH_NUMVERTEX 3\n*MESH_NUMFACES 1\n"
               "*MESH_VERTEX 0 1.5 -2.25 1.5\n*MESH_VERTEX 1 0 0 0\n*MESH_VERTEX 2 1e6 0.1 -3\n"
               "*MESH_FACE 0: A: 0 B: 1 C: 2\n"
               "*MESH_FACENORMAL 0 0.0 0.6 1.0\n"
               "*MESH_VERTEXNORMAL 0 0 0 1\n*MESH_VERTEXNORMAL 1 0.5 0.5 -0.5\n"
               "*MESH_VERTEXNORMAL 2 1 0 0\n");
    EXPECT_EQ(dump_all(), "Mesh Data\nThe amount of faces in this mesh is\t1\n"
                          "The amount of vertices in this mesh is\t3\n");
    EXPECT_EQ(dir_.read("dump.txt"), "-----MAX_FACES = 1\n"
                                     "vertex pos = 0\n X=1.500000\n\t\t\t\tY=-2.250000\n\tZ=-1.500000\n"
                                     "vertex pos = 1\n X=0.000000\n\t\t\t\tY=0.000000\n\tZ=-0.000000\n"
                                     "vertex pos = 2\n X=1000000.000000\n\t\t\t\tY=0.100000\n"
                                     "\tZ=3.000000\n");
    EXPECT_EQ(dir_.read("norm.txt"),
              "face num=0\nX Comp = 0.000000\tY Comp = 0.600000\tZ Comp 1.000000\n\n");
    EXPECT_EQ(dir_.read("vnorml.txt"),
              "position = 0\t x = 0.000000\t y = 0.000000\t z = -1.000000\n"
              "position = 1\t x = 0.500000\t y = 0.500000\t z = 0.500000\n"
              "position = 2\t x = 1.000000\t y = 0.000000\t z = -0.000000\n");
}

TEST_F(MeshDump, EmptyMeshGivesHeaderOnlyAndEmptyFiles) {
    read_model("*COMMENT no mesh\n");
    EXPECT_EQ(dump_all(), "Mesh Data\nThe amount of faces in this mesh is\t0\n"
                          "The amount of vertices in this mesh is\t0\n");
    EXPECT_EQ(dir_.read("dump.txt"), "-----MAX_FACES = 0\n");
    EXPECT_TRUE(dir_.exists("norm.txt"));
    EXPECT_EQ(dir_.read("norm.txt"), "");
    EXPECT_EQ(dir_.read("vnorml.txt"), "");
}

TEST_F(MeshDump, ASecondRunReplacesTheFiles) {
    dir_.write("dump.txt", std::string(5000, 'x'));
    dir_.write("vnorml.txt", std::string(5000, 'x'));
    read_model("*MESH_NUMVERTEX 1\n");
    dump_all();
    EXPECT_EQ(dir_.read("dump.txt"),
              "-----MAX_FACES = 0\nvertex pos = 0\n X=0.000000\n\t\t\t\tY=0.000000\n\tZ=0.000000\n");
    EXPECT_EQ(dir_.read("vnorml.txt"), "position = 0\t x = 0.000000\t y = 0.000000\t z = 0.000000\n");
}

TEST_F(MeshDump, UnwritableDumpOrVertexNormalFileIsReportedAndTheOthersAreWritten) {
    std::filesystem::create_directory("dump.txt");
    std::filesystem::create_directory("vnorml.txt");
    read_model("*MESH_NUMVERTEX 1\n*MESH_NUMFACES 1\n");
    EXPECT_EQ(dump_all(), "Mesh Data\nThe amount of faces in this mesh is\t1\n"
                          "The amount of vertices in this mesh is\t1\nPROBLEM\n"
                          "error in dump_vnorm(): cannot open \"vnorml.txt\"\n");
    EXPECT_EQ(dir_.read("norm.txt"),
              "face num=0\nX Comp = 0.000000\tY Comp = 0.000000\tZ Comp 0.000000\n\n");
}

TEST_F(MeshDump, UnwritableNormalFileEndsTheProcess) {
    std::filesystem::create_directory("norm.txt");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            dump_norm();
        },
        testing::ExitedWithCode(1), "^error in dump_norm\\(\\)\n$");
}
