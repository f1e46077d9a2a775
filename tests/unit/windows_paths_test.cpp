// Windows: paths of any letters. The C runtime's narrow argv and fopen take
// the ANSI code page, in which these letters become '?'. The tests run
// without the viewer's UTF-8 manifest, as Windows before 10 version 1903
// runs the viewer: the arguments come from the wide command line, and fopen
// and the temporary file go through the wide calls.
#ifdef _WIN32

#include "platform/system.h"
#include "platform/windows.h"
#include "support/temp_dir.h"
#include "tests/unit/mesh_fixture.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using WindowsPaths = MeshTest;

} // namespace

TEST_F(WindowsPaths, ModelOpensFromItsArgumentAndTheTemporaryFileGoesIntoSuchAFolder) {
    temp_dir dir;
    const std::string folder = dir.path() + "\\модели 文 & ! 𝄞";
    const std::wstring wide_folder =
        native_path(dir.path().c_str()).wstring() + L"\\модели 文 & ! 𝄞";
    const std::vector<std::string> arguments =
        utf8_arguments((L"aseview.exe -m \"" + wide_folder + L"\\модель.ase\" -fit").c_str());
    ASSERT_EQ(arguments.size(), 4u);
    EXPECT_EQ(arguments[1], "-m");
    EXPECT_EQ(arguments[2], folder + "\\модель.ase");
    EXPECT_EQ(arguments[3], "-fit");

    ASSERT_TRUE(std::filesystem::create_directory(native_path(folder.c_str())));
    std::ofstream(native_path(arguments[2].c_str()), std::ios::binary)
        << "*MESH {\n\t*MESH_NUMVERTEX 3\n\t*MESH_NUMFACES 1\n}\n";
    reset_mesh_store();
    testing::internal::CaptureStdout();
    load_ase(arguments[2].c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Amount of Vertices in this mesh 3\nAmount of faces in this mesh 1\n");

    wchar_t previous[MAX_PATH + 1];
    const DWORD previous_length = GetEnvironmentVariableW(L"TMP", previous, MAX_PATH + 1);
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", wide_folder.c_str()));
    const char* directory = nullptr;
    std::FILE* copy = open_temporary_file(directory);
    SetEnvironmentVariableW(L"TMP", previous_length > 0 && previous_length <= MAX_PATH ? previous
                                                                                       : nullptr);
    ASSERT_NE(copy, nullptr) << std::strerror(errno);
    EXPECT_EQ(std::string(directory), folder + "\\");
    std::fclose(copy);
}

#endif
