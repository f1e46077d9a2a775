// Model files made to hurt the reader: counts it cannot honour, record
// numbers outside every array, files cut off anywhere, megabyte lines, stray
// bytes and keywords without their numbers. Each ends in a defined outcome,
// the array's error line and status 1 or a load of what the file holds, and
// costs time and memory in proportion to the file, not to what it claims.
#include "mesh/mesh_dump.h"
#include "mesh/text_scanner.h"
#include "support/posix.h"
#include "support/temp_dir.h"
#include "tests/unit/mesh_fixture.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using AseHostile = MeshTest;
using AseHostileDeathTest = MeshTest;

// Every byte of every record of the four arrays is zero.
bool arrays_untouched() {
    const auto zero = [](const void* records, size_t bytes) {
        const auto* p = static_cast<const unsigned char*>(records);
        for (size_t i = 0; i < bytes; ++i)
            if (p[i] != 0)
                return false;
        return true;
    };
    const mesh_store_t& m = mesh_store;
    return zero(m.v_data, sizeof(d_data) * static_cast<size_t>(m.num_vertex)) &&
           zero(m.f_list, sizeof(f_data) * static_cast<size_t>(m.num_faces)) &&
           zero(m.t_list, sizeof(t_face) * static_cast<size_t>(m.num_tfaces)) &&
           zero(m.v_color, sizeof(c_data) * static_cast<size_t>(m.num_cvertex));
}

// Two records in every array.
const char* const two_of_each = "*MESH_NUMVERTEX 2\n*MESH_NUMFACES 2\n*MESH_NUMTVERTEX 0\n"
                                "*MESH_NUMCVERTEX 2\n";

// A model with every keyword and every number form, single-digit counts.
const char* const every_keyword =
    "*UVW_U_OFFSET 0.5\n*MESH_NUMVERTEX 4\n*MESH_NUMFACES 2\n"
    "*MESH_VERTEX 0\t1.5\t2.0\t-4.0\n*MESH_VERTEX 1\t0x1p3 1e5 -0.0\n"
    "*MESH_VERTEX 2\tinf\t.5\t5.\n*MESH_VERTEX 3\t-12\tnan\t0\n"
    "*MESH_FACE 0:\tA:\t0 B:\t1 C:\t2 AB: 1\n*MESH_FACE 1:    A:    1 B:    3 C:    2\n"
    "*MESH_NUMTVERTEX 3 0.25 0.75\n*MESH_TFACE 0 0 1 2\n*MESH_TFACE 1 010 2 0x1\n"
    "*MESH_NUMCVERTEX 3\n*MESH_VERTCOL 2 1.0 0.5 0.25\n*MESH_NUMCVFACES 2\n"
    "*MESH_CFACE 1 2 2 1\n*MESH_FACENORMAL 0 0.0 0.0 -1.0\n*MESH_VERTEXNORMAL 0 0 0 1\n"
    "*MESH_VERTEXNORMAL 1 0 1 0\n*MESH_VERTEXNORMAL 2 1 0 0\n*UVW_V_OFFSET -0.25\n";

const char* const record_keywords[] = {
    "*MESH_VERTEX",     "*MESH_FACE",    "*MESH_NUMTVERTEX", "*MESH_TFACE",
    "*UVW_U_OFFSET",    "*UVW_V_OFFSET", "*MESH_FACENORMAL", "*MESH_VERTEXNORMAL",
    "*MESH_NUMCVERTEX", "*MESH_VERTCOL", "*MESH_NUMCVFACES", "*MESH_CFACE",
    "*MESH_NUMFACES",
};

// Pages lying wholly inside the records that are resident in memory.
size_t resident_pages(const void* records, size_t bytes) {
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (reinterpret_cast<uintptr_t>(records) + page - 1) / page * page;
    const uintptr_t end = (reinterpret_cast<uintptr_t>(records) + bytes) / page * page;
    if (end <= first)
        return 0;
    std::vector<unsigned char> pages((end - first) / page);
    if (mincore(reinterpret_cast<void*>(first), end - first, pages.data()) != 0)
        return pages.size();
    size_t resident = 0;
    for (unsigned char page_state : pages)
        resident += page_state & 1;
    return resident;
}

// Scans `text` through a pipe, whose length cannot be asked in advance.
void scan_through_pipe(const std::string& text) {
    int ends[2];
    if (pipe(ends) != 0 ||
        write(ends[1], text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        ADD_FAILURE() << "no pipe for the model";
    close(ends[1]);
    reset_mesh_store();
    std::FILE* stream = fdopen(ends[0], "r");
    scan_ase(stream, "pipe");
    std::fclose(stream);
}

ase_options every_mesh() {
    ase_options options;
    options.all_meshes = true;
    return options;
}

struct fatal_count {
    const char* model;
    const char* line; // the array's error line, as a pattern
};

} // namespace

TEST_F(AseHostileDeathTest, CountsNoFileCouldHoldEndWithTheirArraysLine) {
    const char* const vertices = "error in d_data \\*alloc_data\\(\\) function\n$";
    const char* const faces = "error in f_data \\*alloc_faces\\(\\) function\n$";
    const char* const colours = "error in c_data \\*alloc_colors\\(\\) function\n$";
    const fatal_count cases[] = {
        {"*MESH_NUMVERTEX 2147483647\n", vertices},
        {"*MESH_NUMVERTEX -2147483648\n", vertices},
        // Beyond 64 bits the conversion saturates, and the saturated value
        // narrows to -1, as scanf stores it into an int.
        {"*MESH_NUMVERTEX 99999999999999999999999\n", vertices},
        {"*MESH_NUMVERTEX 0x80000000\n", vertices},
        {"*MESH_NUMFACES -1\n", faces},
        {"*MESH_NUMFACES 0x7fffffff\n", faces},
        {"*MESH_NUMFACES 017777777777\n", faces},
        {"*MESH_NUMCVERTEX -99999999999\n", colours},
        {"*MESH_NUMCVERTEX 2000000\n", colours},
    };
    for (const fatal_count& c : cases) {
        SCOPED_TRACE(c.model);
        EXPECT_EXIT(read_model_dying(c.model), testing::ExitedWithCode(1), c.line);
    }
}

TEST_F(AseHostile, CountsBeyond32BitsKeepTheirLowBitsAsScanfStoresThem) {
    EXPECT_EQ(read_model("*MESH_NUMVERTEX 4294967299\n"), "Amount of Vertices in this mesh 3\n");
    EXPECT_EQ(mesh_store.num_vertex, 3);
    EXPECT_EQ(read_model("*MESH_NUMFACES 4294967296\n"), "Amount of faces in this mesh 0\n");
    EXPECT_NE(mesh_store.f_list, nullptr);
    read_model("*MESH_NUMCVERTEX -4294967294\n");
    EXPECT_EQ(mesh_store.num_cvertex, 2);
    read_model("*MESH_NUMCVFACES 99999999999999999999\n");
    EXPECT_EQ(mesh_store.num_cvfaces, -1) << "kept, never used to allocate";
}

// Counts up to 2^20 are allocated whatever the file holds, so an export cut
// off part-way opens with zeroed records; above that, the file's length in
// bytes bounds them: a count equal to it is accepted, one more is refused.
TEST_F(AseHostile, SmallCountsOpenWhateverTheLengthAndLargerOnesMustFitTheFile) {
    read_model("*MESH_NUMVERTEX 100\n*MESH_NUMFACES 1048576\n");
    ASSERT_EQ(mesh_store.num_vertex, 100);
    ASSERT_EQ(mesh_store.num_faces, 1048576);
    EXPECT_TRUE(arrays_untouched());
    const auto model = [](int count, size_t length) {
        std::string text = "*MESH_NUMFACES " + std::to_string(count) + "\n";
        return text + std::string(length - text.size(), ' ');
    };
    read_model(model(1048577, 1048577));
    ASSERT_EQ(mesh_store.num_faces, 1048577);
    EXPECT_EXIT(read_model_dying(model(1048578, 1048577)), testing::ExitedWithCode(1),
                "error in f_data \\*alloc_faces\\(\\) function\n$");
}

// Read mesh after mesh into one store, the totals are bounded as one count
// is: two counts that each open whatever the file's length must together
// fit the file, and a total beyond 32 bits is refused, never wrapped round.
TEST_F(AseHostile, TotalsOfEveryMeshAreBoundLikeOneCount) {
    const std::string two_meshes = "*MESH_NUMVERTEX 1\n*MESH_NUMFACES 600000\n"
                                   "*MESH_NUMVERTEX 1\n*MESH_NUMFACES 600000\n";
    EXPECT_EXIT(read_model_dying(two_meshes, every_mesh()), testing::ExitedWithCode(1),
                "Amount of faces in this mesh 600000\n"
                "error in f_data \\*alloc_faces\\(\\) function\n$");
    read_model(two_meshes + std::string(1200000, ' '), every_mesh());
    EXPECT_EQ(mesh_store.num_faces, 1200000) << "a file that long holds them";
    EXPECT_EXIT(read_model_dying("*MESH_NUMCVERTEX 1048576\n*MESH_NUMVERTEX 1\n"
                                 "*MESH_NUMCVERTEX 2147483647\n",
                                 every_mesh()),
                testing::ExitedWithCode(1), "error in c_data \\*alloc_colors\\(\\) function\n$");
}

// Mesh after mesh, an array grows into room kept for the most records the
// store may hold, so after its first growth it stays where it is (its pages
// were slow to touch after moving at every doubling); every mesh's records
// are kept and the records it did not write read as zero.
TEST_F(AseHostile, ArraysGrowingMeshAfterMeshStayPutAndKeepTheirRecords) {
    reset_mesh_store();
    mesh_store.record_limit = always_allocated_records;
    constexpr int32_t per_mesh = 5000;
    std::vector<const d_data*> places;
    for (int32_t mesh = 0; mesh < 12; ++mesh) {
        alloc_data(per_mesh, mesh * per_mesh);
        mesh_store.v_data[mesh * per_mesh + per_mesh - 1].pos[0] = static_cast<float>(mesh + 1);
        places.push_back(mesh_store.v_data);
    }
    for (int32_t mesh = 0; mesh < 12; ++mesh) {
        EXPECT_EQ(mesh_store.v_data[mesh * per_mesh + per_mesh - 1].pos[0], mesh + 1.0f);
        EXPECT_EQ(mesh_store.v_data[mesh * per_mesh].pos[0], 0.0f);
    }
#ifndef ASEVIEW_SANITIZED
    for (size_t mesh = 2; mesh < places.size(); ++mesh)
        EXPECT_EQ(places[mesh], places[1]) << "mesh " << mesh << " moved the array";
#endif
    reset_mesh_store();
}

// A small file claiming as many records as it has bytes makes the viewer
// write every record: the dumps grow with the file, a few dozen bytes per
// byte of it, and nothing is read from records the file never touched.
TEST_F(AseHostile, DumpsOfAFileClaimingItsLengthInRecordsStayInProportion) {
    constexpr int length = 16384;
    std::string text = "*MESH_NUMVERTEX 16384 *MESH_NUMFACES 16384 *MESH_NUMCVERTEX 16384\n";
    text += std::string(length - text.size(), '\n');
    read_model(text);
    ASSERT_EQ(mesh_store.num_vertex, length);
    ASSERT_EQ(mesh_store.num_faces, length);
    temp_dir dir;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    testing::internal::CaptureStdout();
    dump_data();
    dump_norm();
    dump_vnorm();
    testing::internal::GetCapturedStdout();
    std::filesystem::current_path(previous);
    uintmax_t written = 0;
    for (const char* name : {"dump.txt", "norm.txt", "vnorml.txt"})
        written += std::filesystem::file_size(dir.file(name));
    EXPECT_LT(written, uintmax_t{256} * length);
    EXPECT_NE(dir.read("vnorml.txt").find("position = 16383\t x = 0.000000\t"), std::string::npos);
}

// Each repeat of a count replaces its array. Had the new records been
// cleared in memory the old array just gave back, a file repeating a large
// count would cost the square of its length (a 400 KiB file took over 20
// seconds); the records stay pages nobody touched until they are written.
TEST_F(AseHostile, RepeatedLargeCountsLeaveTheirRecordsUntouched) {
    constexpr size_t length = 32768;
    const std::string counts = "*MESH_NUMFACES 32768\n*MESH_NUMTVERTEX 0\n*MESH_NUMCVERTEX 32768\n";
    std::string text;
    while (text.size() + counts.size() <= length)
        text += counts;
    text.resize(length, ' ');
    read_model(text);
    ASSERT_EQ(mesh_store.num_faces, 32768);
    ASSERT_EQ(mesh_store.num_tfaces, 32768);
    ASSERT_EQ(mesh_store.num_cvertex, 32768);
    EXPECT_EQ(resident_pages(mesh_store.f_list, sizeof(f_data) * length), 0u);
    EXPECT_EQ(resident_pages(mesh_store.t_list, sizeof(t_face) * length), 0u);
    EXPECT_EQ(resident_pages(mesh_store.v_color, sizeof(c_data) * length), 0u);
    EXPECT_TRUE(arrays_untouched()) << "and they read as zero";
    // The same in a later mesh of a file read whole, after records that were
    // written: its part of each array is cleared, not left as it was.
    std::string later = "*MESH_NUMVERTEX 1\n*MESH_NUMFACES 1\n*MESH_FACE 0: A: 0 B: 0 C: 0\n"
                        "*MESH_NUMCVERTEX 1\n*MESH_VERTCOL 0 1 1 1\n*MESH_NUMVERTEX 1\n";
    for (int round = 0; round < 3; ++round)
        later += "*MESH_NUMFACES 32768\n*MESH_NUMTVERTEX 0\n*MESH_NUMCVERTEX 32768\n"
                 "*MESH_FACENORMAL 32767 1 1 1\n*MESH_VERTCOL 32767 1 1 1\n";
    later += "*MESH_NUMFACES 32768\n*MESH_NUMTVERTEX 0\n*MESH_NUMCVERTEX 32768\n";
    read_model(later + std::string(2 * length, ' '), every_mesh());
    ASSERT_EQ(mesh_store.num_faces, 32769);
    ASSERT_EQ(mesh_store.num_cvertex, 32769);
    EXPECT_FLOAT_EQ(mesh_store.v_color[0].rgb[0], 1.0f) << "the first mesh's colour is kept";
    EXPECT_FLOAT_EQ(mesh_store.f_list[32768].norm[0], 0.0f);
    EXPECT_FLOAT_EQ(mesh_store.v_color[32768].rgb[0], 0.0f);
#ifndef ASEVIEW_SANITIZED
    EXPECT_LT(resident_pages(mesh_store.v_color + 1, sizeof(c_data) * 32768), 3u);
#endif
}

// A pipe is read like the file it carries: its length bounds the counts,
// where a few bytes could otherwise claim gigabytes of records.
TEST_F(AseHostile, PipedModelIsBoundByItsLengthLikeAFile) {
    testing::internal::CaptureStdout();
    scan_through_pipe("*MESH_NUMVERTEX 3\n*MESH_VERTEX 2 1 2 3\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Amount of Vertices in this mesh 3\n");
    ASSERT_EQ(mesh_store.num_vertex, 3);
    EXPECT_FLOAT_EQ(mesh_store.v_data[2].pos[2], -3.0f);
    // UTF-16 text comes through the copy whole, its byte-order mark first.
    std::string wide = "\xff\xfe";
    for (const char c : std::string("*MESH_NUMVERTEX 5\n"))
        wide += std::string{c, '\0'};
    scan_through_pipe(wide);
    EXPECT_EQ(mesh_store.num_vertex, 5);
    EXPECT_EXIT(
        {
            dup2(2, 1);
            scan_through_pipe("*MESH_NUMFACES 100000000\n");
        },
        testing::ExitedWithCode(1), "error in f_data \\*alloc_faces\\(\\) function\n$");
}

TEST_F(AseHostile, RecordNumbersOutsideEveryArrayAreSkipped) {
    // Numbers beyond 32 bits keep their low bits, as scanf stores them: all
    // of these name records below 0 or at 2 and above.
    const char* const numbers[] = {"-1",         "2",           "3",
                                   "2147483647", "-2147483648", "0x80000000",
                                   "0xffffffff", "4294967298",  "99999999999999999999"};
    const char* const lines[] = {
        "*MESH_VERTEX %s 1 2 3\n",       "*MESH_FACE %s: A: 1 B: 1 C: 1\n",
        "*MESH_TFACE %s 1 1 1\n",        "*MESH_VERTCOL %s 1 1 1\n",
        "*MESH_CFACE %s 1 1 1\n",        "*MESH_NUMTVERTEX %s 1 1\n",
        "*MESH_FACENORMAL %s 1 1 1\n",   "*MESH_FACENORMAL %s 1 1 1\n*MESH_VERTEXNORMAL 9 1 1 1\n",
        "*MESH_VERTEXNORMAL %s 1 1 1\n",
    };
    for (const char* line : lines)
        for (const char* number : numbers) {
            char record[128];
            std::snprintf(record, sizeof record, line, number);
            SCOPED_TRACE(record);
            read_model(std::string(two_of_each) + record);
            EXPECT_TRUE(arrays_untouched());
        }
}

TEST_F(AseHostile, EveryRecordKindBeforeItsArrayIsSkipped) {
    read_model("*UVW_V_OFFSET 1.0\n*MESH_NUMTVERTEX 0 1.0 2.0\n*MESH_NUMFACES 2\n"
               "*MESH_TFACE 0 1 1 1\n*MESH_CFACE 0 1 1 1\n*MESH_VERTCOL 0 1 1 1\n"
               "*MESH_NUMVERTEX 1\n*UVW_U_OFFSET 1.0\n");
    EXPECT_EQ(mesh_store.num_tfaces, 0) << "the texture faces were sized before any face";
    EXPECT_EQ(mesh_store.v_color, nullptr);
    EXPECT_EQ(mesh_store.f_list[0].cvert[0], 1) << "face 0 exists, so its colour face is kept";
    // Record 0's number is 0 once the array exists, so the late offset lands.
    EXPECT_FLOAT_EQ(mesh_store.v_data[0].u, 1.0f);
    EXPECT_FLOAT_EQ(mesh_store.v_data[0].v, 0.0f);
}

// Every prefix of a model, so that every number, keyword and literal is cut
// off somewhere: the scan ends normally, prints a prefix of what the whole
// model prints, and finds each count whole or not at all.
TEST_F(AseHostile, ModelCutOffAtEveryByteEndsTheScanCleanly) {
    const std::string model = every_keyword;
    const std::string full_output = read_model(model);
    for (size_t length = 0; length <= model.size(); ++length) {
        SCOPED_TRACE("cut at " + std::to_string(length));
        const std::string output = read_model(model.substr(0, length));
        EXPECT_EQ(full_output.compare(0, output.size(), output), 0) << output;
        EXPECT_TRUE(mesh_store.num_vertex == 0 || mesh_store.num_vertex == 4);
        EXPECT_TRUE(mesh_store.num_faces == 0 || mesh_store.num_faces == 2);
        if (HasFailure())
            break;
    }
}

TEST_F(AseHostile, LinesOfSeveralMegabytesAreReadInProportion) {
    const std::string megabytes(4 << 20, 'x');
    // One word of four megabytes, discarded in 255-character pieces.
    read_model(megabytes + "\n*MESH_NUMVERTEX 2\n*MESH_VERTEX 1 1 2 3\n");
    ASSERT_EQ(mesh_store.num_vertex, 2);
    EXPECT_FLOAT_EQ(mesh_store.v_data[1].pos[2], -3.0f);
    // The same with no line end before the end of the file.
    EXPECT_EQ(read_model("*MESH_NUMVERTEX 2\n" + megabytes), "Amount of Vertices in this mesh 2\n");
    // Four megabytes of white space inside a record, and a number of four
    // million digits, which reads as infinity.
    read_model("*MESH_NUMVERTEX 2\n*MESH_VERTEX 1" + std::string(4 << 20, ' ') + "1 " +
               std::string(4 << 20, '7') + " 3\n");
    EXPECT_FLOAT_EQ(mesh_store.v_data[1].pos[0], 1.0f);
    EXPECT_TRUE(std::isinf(mesh_store.v_data[1].pos[1]));
    EXPECT_FLOAT_EQ(mesh_store.v_data[1].pos[2], -3.0f);
}

TEST_F(AseHostile, TokensBeyondTheBufferAreCutAndReadOnAtAnyLength) {
    for (size_t length : {255u, 256u, 511u, 512u, 100000u}) {
        SCOPED_TRACE(length);
        // At the end of the file, with and without a line end.
        EXPECT_EQ(read_model("*MESH_NUMVERTEX 1\n" + std::string(length, '*')),
                  "Amount of Vertices in this mesh 1\n");
        EXPECT_EQ(read_model("*MESH_NUMVERTEX 1\n" + std::string(length, '*') + "\n"),
                  "Amount of Vertices in this mesh 1\n");
        // A keyword glued to the end of a long token lies inside a piece of
        // its line at these lengths, never at the start of one.
        EXPECT_EQ(read_model(std::string(length, 'k') + "*MESH_NUMVERTEX 3\n"), "");
    }
}

// Any byte right after any keyword: a NUL, a control character, a byte
// above 127. The reader never writes outside its arrays.
TEST_F(AseHostile, EveryByteAfterEveryKeywordEndsInADefinedState) {
    for (const char* keyword : record_keywords)
        for (int byte = 0; byte < 256; ++byte) {
            std::string model = std::string(two_of_each) + keyword;
            model += static_cast<char>(byte);
            model += "1 0 1 0 1\n";
            read_model(model);
            ASSERT_EQ(mesh_store.num_vertex, 2) << keyword << " " << byte;
        }
    for (int byte = 0; byte < 256; ++byte) {
        std::string model = "*MESH_NUMVERTEX";
        model += static_cast<char>(byte);
        model += "1\n";
        read_model(model);
        EXPECT_TRUE(mesh_store.num_vertex == 0 || mesh_store.num_vertex == 1) << byte;
    }
}

// Keywords whose numbers never come: each handler reads nothing, so the
// next keyword is read as the next token, and nothing is allocated.
TEST_F(AseHostile, FileOfNothingButKeywordsLeavesTheStoreEmpty) {
    std::string keywords;
    for (int round = 0; round < 2000; ++round)
        for (const char* keyword : record_keywords)
            keywords += std::string(keyword) + (round % 2 == 0 ? " " : "\n");
    ASSERT_GT(keywords.size(), scan_buffer_size) << "crosses a refill of the reader's buffer";
    EXPECT_EQ(read_model(keywords), "");
    EXPECT_EQ(mesh_store.f_list, nullptr);
    EXPECT_EQ(mesh_store.v_color, nullptr);
    // A vertex count without its number still makes the file's one mesh.
    EXPECT_EQ(read_model("*MESH_NUMVERTEX"), "");
    EXPECT_EQ(mesh_store.mesh_loaded, 1);
}

TEST_F(AseHostile, FaceNormalWithoutVertexNormalsAtTheEndKeepsItsCornersUnset) {
    read_model("*MESH_NUMVERTEX 3\n*MESH_NUMFACES 1\n*MESH_FACENORMAL 0 0 0 1");
    EXPECT_EQ(mesh_store.normal_face, 0);
    EXPECT_EQ(mesh_store.normal_corner, 0);
    EXPECT_FLOAT_EQ(mesh_store.f_list[0].norm[2], 1.0f);
    EXPECT_EQ(mesh_store.f_list[0].nvert[0], 0);
    // Cut inside its numbers it changes nothing, not even the face it names.
    read_model("*MESH_NUMVERTEX 3\n*MESH_NUMFACES 2\n*MESH_FACENORMAL 1 0 0 1\n"
               "*MESH_VERTEXNORMAL 2 0 0 1\n*MESH_FACENORMAL 0 0 0");
    EXPECT_EQ(mesh_store.normal_face, 1);
    EXPECT_EQ(mesh_store.normal_corner, 1);
    EXPECT_EQ(mesh_store.f_list[1].nvert[0], 2);
    EXPECT_FLOAT_EQ(mesh_store.f_list[0].norm[2], 0.0f);
}
