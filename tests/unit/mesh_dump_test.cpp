#include "mesh/mesh_dump.h"
#include "support/posix.h"
#include "support/temp_dir.h"
#include "tests/unit/mesh_fixture.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

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
    // A dump's text with Linux line ends. Windows ends the lines of text
    // files in CR LF: there every LF must follow a CR, which is taken out.
    std::string read_dump(const std::string& name) {
        const std::string bytes = dir_.read(name);
#ifdef _WIN32
        std::string text;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                continue;
            if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
                ADD_FAILURE() << name << ": line end without CR at byte " << i;
            text += bytes[i];
        }
        return text;
#else
        return bytes;
#endif
    }
    temp_dir dir_;
    std::filesystem::path previous_;
};

} // namespace

// Besides plain numbers: infinities and NaNs of either sign, a negative
// zero, a large exact integer and ties at the sixth decimal (1/128 rounds
// down to even, 3/128 up).
TEST_F(MeshDump, WritesEveryFileByteForByte) {
    read_model("*MESH_NUMVERTEX 4\n*MESH_NUMFACES 2\n"
               "*MESH_VERTEX 0 1.5 -2.25 1.5\n*MESH_VERTEX 1 0 0 0\n*MESH_VERTEX 2 1e6 0.1 -3\n"
               "*MESH_VERTEX 3 inf -inf nan\n"
               "*MESH_FACE 0: A: 0 B: 1 C: 2\n"
               "*MESH_FACENORMAL 0 0.0 0.6 1.0\n"
               "*MESH_VERTEXNORMAL 0 0 0 1\n*MESH_VERTEXNORMAL 1 0.5 0.5 -0.5\n"
               "*MESH_VERTEXNORMAL 2 1 0 0\n"
               "*MESH_FACENORMAL 1 -0 1e30 0.0078125\n"
               "*MESH_VERTEXNORMAL 3 0.0234375 -0.0078125 1e-7\n");
    EXPECT_EQ(dump_all(), "Mesh Data\nThe amount of faces in this mesh is\t2\n"
                          "The amount of vertices in this mesh is\t4\n");
    EXPECT_EQ(read_dump("dump.txt"),
              "-----MAX_FACES = 2\n"
              "vertex pos = 0\n X=1.500000\n\t\t\t\tY=-2.250000\n\tZ=-1.500000\n"
              "vertex pos = 1\n X=0.000000\n\t\t\t\tY=0.000000\n\tZ=-0.000000\n"
              "vertex pos = 2\n X=1000000.000000\n\t\t\t\tY=0.100000\n"
              "\tZ=3.000000\n"
              "vertex pos = 3\n X=inf\n\t\t\t\tY=-inf\n\tZ=-nan\n");
    EXPECT_EQ(read_dump("norm.txt"),
              "face num=0\nX Comp = 0.000000\tY Comp = 0.600000\tZ Comp 1.000000\n\n"
              "face num=1\nX Comp = -0.000000\tY Comp = 1000000015047466219876688855040.000000"
              "\tZ Comp 0.007812\n\n");
    EXPECT_EQ(read_dump("vnorml.txt"),
              "position = 0\t x = 0.000000\t y = 0.000000\t z = -1.000000\n"
              "position = 1\t x = 0.500000\t y = 0.500000\t z = 0.500000\n"
              "position = 2\t x = 1.000000\t y = 0.000000\t z = -0.000000\n"
              "position = 3\t x = 0.023438\t y = -0.007812\t z = -0.000000\n");
}

TEST_F(MeshDump, EmptyMeshGivesHeaderOnlyAndEmptyFiles) {
    read_model("*COMMENT no mesh\n");
    EXPECT_EQ(dump_all(), "Mesh Data\nThe amount of faces in this mesh is\t0\n"
                          "The amount of vertices in this mesh is\t0\n");
    EXPECT_EQ(read_dump("dump.txt"), "-----MAX_FACES = 0\n");
    EXPECT_TRUE(dir_.exists("norm.txt"));
    EXPECT_EQ(read_dump("norm.txt"), "");
    EXPECT_EQ(read_dump("vnorml.txt"), "");
}

TEST_F(MeshDump, ASecondRunReplacesTheFiles) {
    dir_.write("dump.txt", std::string(5000, 'x'));
    dir_.write("vnorml.txt", std::string(5000, 'x'));
    read_model("*MESH_NUMVERTEX 1\n");
    dump_all();
    EXPECT_EQ(
        read_dump("dump.txt"),
        "-----MAX_FACES = 0\nvertex pos = 0\n X=0.000000\n\t\t\t\tY=0.000000\n\tZ=0.000000\n");
    EXPECT_EQ(read_dump("vnorml.txt"),
              "position = 0\t x = 0.000000\t y = 0.000000\t z = 0.000000\n");
}

TEST_F(MeshDump, UnwritableDumpOrVertexNormalFileIsReportedAndTheOthersAreWritten) {
    std::filesystem::create_directory("dump.txt");
    std::filesystem::create_directory("vnorml.txt");
    read_model("*MESH_NUMVERTEX 1\n*MESH_NUMFACES 1\n");
    EXPECT_EQ(dump_all(), "Mesh Data\nThe amount of faces in this mesh is\t1\n"
                          "The amount of vertices in this mesh is\t1\nPROBLEM\n"
                          "error in dump_vnorm(): cannot open \"vnorml.txt\"\n");
    EXPECT_EQ(read_dump("norm.txt"),
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

// A full disk, met in the middle of a long file and at the close of a short
// one: one line each, and the next dump is still written.
TEST_F(MeshDump, FullDiskIsReportedOnceAndTheNextFileIsStillWritten) {
    if (!make_full_disk_file("dump.txt") || !make_full_disk_file("norm.txt"))
        GTEST_SKIP() << "Windows has no device that refuses writes as /dev/full does";
    // The reader takes no more records than the file has bytes.
    read_model("*MESH_NUMVERTEX 40000\n*MESH_NUMFACES 1\n" + std::string(40000, '\n'));
    EXPECT_EQ(dump_all(), "Mesh Data\nThe amount of faces in this mesh is\t1\n"
                          "The amount of vertices in this mesh is\t40000\n"
                          "error writing \"dump.txt\": No space left on device\n"
                          "error writing \"norm.txt\": No space left on device\n");
    EXPECT_TRUE(read_dump("vnorml.txt")
                    .ends_with("position = 39999\t x = 0.000000\t y = 0.000000\t z = 0.000000\n"));
}

namespace {

std::string formatted(float value) {
    char text[float_text_max];
    return std::string(text, format_float(text, value));
}

std::string printed(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", double(value));
    return text;
}

} // namespace

// The dumps' formatting against the C library's on a sample of all floats:
// random patterns, every exponent at both ends of its mantissas, ties at
// the sixth decimal (odd multiples of 1/128) and their neighbours, and the
// special values. tools/check_float_format tries every pattern.
TEST(FloatFormat, MatchesPrintfOnSampledPatterns) {
#ifndef __GLIBC__
    GTEST_SKIP() << "the reference is glibc's printf; the formatting is the same code here";
#endif
    std::vector<float> values = {0.0f,    -0.0f,    INFINITY, -INFINITY, NAN,         -NAN,
                                 FLT_MAX, -FLT_MAX, FLT_MIN,  -FLT_MIN,  FLT_TRUE_MIN};
    std::mt19937 random(11);
    for (int i = 0; i < 100000; ++i)
        values.push_back(std::bit_cast<float>(uint32_t(random())));
    for (uint32_t exponent = 0; exponent < 256; ++exponent)
        for (uint32_t mantissa : {0u, 1u, 0x400000u, 0x7ffffeu, 0x7fffffu, uint32_t(random())})
            for (uint32_t sign : {0u, 1u})
                values.push_back(
                    std::bit_cast<float>(sign << 31 | exponent << 23 | (mantissa & 0x7fffff)));
    for (int odd = 1; odd < (1 << 24); odd = odd < 4096 ? odd + 2 : odd * 3 + 2) {
        const float tie = float(odd) / 128;
        for (float value : {tie, std::nextafter(tie, 0.0f), std::nextafter(tie, INFINITY)})
            values.insert(values.end(), {value, -value});
    }
    int differences = 0;
    for (float value : values)
        if (formatted(value) != printed(value) && ++differences <= 5)
            ADD_FAILURE() << std::hex << std::bit_cast<uint32_t>(value) << ": " << formatted(value)
                          << " instead of " << printed(value);
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(formatted(1.0f / 128), "0.007812");
    EXPECT_EQ(formatted(3.0f / 128), "0.023438");
    EXPECT_EQ(formatted(-NAN), "-nan");
    EXPECT_EQ(formatted(-0.0f), "-0.000000");
    EXPECT_EQ(formatted(FLT_MAX), "340282346638528859811704183484516925440.000000");
}
