// Writes the seed corpora of the fuzz targets from the project's own
// generators: small exporter-style models and hand-made variations for the
// ASE reader, images of every type and orientation for the TGA decoder, and
// format selectors with typical lines for the scanner comparison, and
// PNG, JPEG, BMP and TGA images and shader scripts for the texture decoder.
// Usage: fuzz_seeds DIRECTORY
#include "tests/fixtures/tga_builder.h"
#include "tools/ase_writer.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace fs = std::filesystem;

namespace {

bool write_file(const fs::path& path, const std::string& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
}

std::string tube_model(int segments, int sides) {
    std::FILE* memory = std::tmpfile();
    write_ase(memory, build_tube(segments, sides));
    std::string text(static_cast<size_t>(std::ftell(memory)), '\0');
    std::rewind(memory);
    const size_t got = std::fread(text.data(), 1, text.size(), memory);
    text.resize(got);
    std::fclose(memory);
    return text;
}

std::string with_crlf(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// The text in UTF-16 after its byte-order mark, each byte a code unit.
std::string utf16(const std::string& text, bool big_endian) {
    std::string out = big_endian ? "\xfe\xff" : "\xff\xfe";
    for (char c : text)
        out += big_endian ? std::string{'\0', c} : std::string{c, '\0'};
    return out;
}

// Each seed four times, after each mode byte (see ase_fuzz.cpp): one mesh
// per file or every mesh read into one store, each with and without the
// materials.
std::vector<std::pair<std::string, std::string>>
in_every_mode(const std::vector<std::pair<std::string, std::string>>& seeds) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [name, text] : seeds) {
        out.push_back({name, std::string(1, '\0') + text});
        out.push_back({"all_" + name, "\1" + text});
        out.push_back({"materials_" + name, "\2" + text});
        out.push_back({"all_materials_" + name, "\3" + text});
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> ase_seeds() {
    const std::string tube = tube_model(3, 3);
    const std::string every_keyword =
        "*UVW_U_OFFSET 0.5\n*UVW_V_OFFSET -0.25\n"
        "*MESH {\n*MESH_NUMVERTEX 4\n*MESH_NUMFACES 2\n"
        "*MESH_VERTEX_LIST {\n*MESH_VERTEX 0\t1.5\t2.0\t-4.0\n*MESH_VERTEX 1\t0x10 1e3 -0.0\n"
        "*MESH_VERTEX 2\t-1.0\t.5\t5.\n*MESH_VERTEX 3\tinf\tnan\t-0x1p2\n}\n"
        "*MESH_FACE_LIST {\n*MESH_FACE 0:\tA:\t0 B:\t1 C:\t2 AB: 1 BC: 1 CA: 0\t*MESH_SMOOTHING 1\n"
        "*MESH_FACE 1:    A:    1 B:    3 C:    2\n}\n"
        "*MESH_NUMTVERTEX 3 0.25 0.75\n*MESH_TVERTLIST {\n*MESH_TVERT 0 0.5 0.5 0.0\n}\n"
        "*MESH_NUMTVFACES 2\n*MESH_TFACE 0 0 1 2\n*MESH_TFACE 1 010 2 0x1\n"
        "*MESH_NUMCVERTEX 3\n*MESH_VERTCOL 0 1.0 0.5 0.25\n*MESH_VERTCOL 2 0 0 1\n"
        "*MESH_NUMCVFACES 2\n*MESH_CFACE 0 0 1 2\n*MESH_CFACE 1 2 2 1\n"
        "*MESH_FACENORMAL 0 0.0 0.0 -1.0\n*MESH_VERTEXNORMAL 0 0 0 1\n"
        "*MESH_VERTEXNORMAL 1 0 1 0\n*MESH_VERTEXNORMAL 2 1 0 0\n"
        "*MESH_FACENORMAL 1 0 1 0\n*MESH_VERTEXNORMAL 3 0 0 -1\n}\n"
        "*UVW_U_OFFSET 0.25\n";
    // Sub-materials picked by id, a diffuse map beside a bump map, a material
    // reference after its mesh, and a lightmap channel.
    const std::string materials =
        "*MATERIAL_LIST {\n*MATERIAL_COUNT 2\n*MATERIAL 0 {\n*MATERIAL_NAME \"crate\"\n"
        "*MATERIAL_DIFFUSE 0.5 0.25 1\n*MAP_BUMP {\n*BITMAP \"bump.tga\"\n}\n"
        "*MAP_DIFFUSE {\n*BITMAP \"C:\\maps\\crate.tga\"\n*UVW_U_OFFSET 0.5\n"
        "*UVW_V_OFFSET 0\n*UVW_U_TILING 2\n*UVW_V_TILING 1\n*UVW_ANGLE 0.5\n}\n}\n"
        "*MATERIAL 1 {\n*NUMSUBMTLS 2\n*SUBMATERIAL 0 {\n*MATERIAL_NAME \"a\"\n}\n"
        "*SUBMATERIAL 1 {\n*NUMSUBMTLS 1\n*SUBMATERIAL 0 {\n*MATERIAL_NAME \"b\"\n}\n}\n}\n}\n"
        "*GEOMOBJECT {\n*MESH {\n*MESH_NUMVERTEX 3\n*MESH_NUMFACES 2\n"
        "*MESH_VERTEX 0 0 0 0\n*MESH_VERTEX 1 1 0 0\n*MESH_VERTEX 2 0 1 0\n"
        "*MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 1\t*MESH_SMOOTHING 1\t*MESH_MTLID 1\n"
        "*MESH_FACE 1: A: 2 B: 1 C: 0 *MESH_MTLID 2\n"
        "*MESH_NUMTVERTEX 2\n*MESH_TVERT 0 0 0 0\n*MESH_TVERT 1 1 1 0\n"
        "*MESH_TFACE 0 0 1 1\n*MESH_TFACE 1 1 0 0\n"
        "*MESH_MAPPINGCHANNEL 2 {\n*MESH_NUMTVERTEX 1\n*MESH_TVERT 0 9 9 0\n"
        "*MESH_TFACE 0 0 0 0\n}\n}\n*MATERIAL_REF 1\n}\n";
    return {
        {"tube.ase", tube},
        {"tube_crlf.ase", with_crlf(tube_model(3, 4))},
        {"every_keyword.ase", every_keyword},
        {"every_keyword_crlf.ase", with_crlf(every_keyword)},
        {"second_mesh.ase", "*MESH_NUMVERTEX 1\n*MESH_NUMFACES 0\n*MESH_NUMVERTEX 2\n"},
        {"negative_count.ase", "*MESH_NUMVERTEX 1\n*MESH_NUMCVERTEX -3\n"},
        {"records_outside.ase", "*MESH_VERTEX 0 1 1 1\n*MESH_NUMVERTEX 2\n*MESH_NUMFACES 1\n"
                                "*MESH_VERTEX -1 1 1 1\n*MESH_VERTEX 2 1 1 1\n"
                                "*MESH_FACE 0x7fffffff: A: 0 B: 0 C: 0\n"
                                "*MESH_FACENORMAL 9 0 0 1\n*MESH_VERTEXNORMAL 1 0 0 1\n"},
        {"long_line.ase", "*COMMENT " + std::string(300, 'x') + " *MESH_NUMVERTEX 3\n" +
                              std::string(260, 'y') + "*MESH_NUMFACES 1\n"},
        {"cut_short.ase", "*MESH_NUMVERTEX 3\n*MESH_VERTEX 1 1.5 2"},
        {"three_tubes.ase", tube + tube_model(2, 3) + tube},
        {"utf16le.ase", utf16(every_keyword, false)},
        {"utf16be_crlf.ase", utf16(with_crlf(tube), true)},
        {"materials.ase", materials},
        {"utf16_odd_end.ase", utf16("*MESH_NUMVERTEX 3\n*MESH_VERTEX 1 1.5 2", false) + "7"},
    };
}

std::vector<std::pair<std::string, std::string>> tga_seeds() {
    std::vector<std::pair<std::string, std::string>> seeds;
    const int kinds[][2] = {{1, 8}, {2, 24}, {2, 32}, {3, 8}, {9, 8}, {10, 24}, {10, 32}, {11, 8}};
    for (const auto& kind : kinds)
        for (int descriptor : {0x00, 0x30}) {
            tga_fields fields;
            fields.image_type = kind[0];
            fields.bpp = kind[1];
            fields.width = 5;
            fields.height = 3;
            fields.descriptor = descriptor;
            fields.id = descriptor == 0 ? "" : "seed";
            fields.footer = descriptor != 0;
            const int element_size = kind[1] / 8;
            // Runs and single pixels, so that encoded files hold both kinds
            // of packet and packets cross rows.
            for (int i = 0; i < fields.width * fields.height * element_size; ++i)
                fields.pixels.push_back(
                    static_cast<uint8_t>(i / (2 * element_size) % 3 == 0 ? 7 : i));
            if (kind[0] % 8 == 1) {
                fields.color_map_type = 1;
                fields.color_map_index = 2;
                fields.color_map_length = 6;
                fields.color_map_size = 24;
                for (int i = 0; i < 18; ++i)
                    fields.color_map.push_back(static_cast<uint8_t>(i * 13));
            }
            seeds.push_back({"type" + std::to_string(kind[0]) + "_" + std::to_string(kind[1]) +
                                 "_" + std::to_string(descriptor) + ".tga",
                             tga_file(fields)});
        }
    tga_fields wide;
    wide.image_type = 10;
    wide.bpp = 24;
    wide.width = 130;
    wide.height = 2;
    wide.pixels.assign(130 * 2 * 3, 0x55);
    wide.trailing = "extension";
    seeds.push_back({"long_runs.tga", tga_file(wide)});
    return seeds;
}

// Four read selectors (see compare_read in scanner_fuzz.cpp), then the text.
std::vector<std::pair<std::string, std::string>> scanner_seeds() {
    const auto seed = [](std::string selectors, const std::string& text) {
        return selectors + text;
    };
    return {
        {"vertex", seed(std::string("\x0b\x0b\x09\x0a", 4), "0\t1.5\t2.0\t-4.0\n1 2 3 4")},
        {"face", seed(std::string("\x0c\x09\x0a\x0c", 4),
                      "0:\tA:\t0 B:\t1 C:\t2 AB: 1\n7:    A:    3 B:    4 C:    5")},
        {"normal", seed(std::string("\x0e\x09\x0a\x08", 4),
                        "4 0.0 0.0 -1.0 *MESH_VERTEXNORMAL 7 0.0 1.0 0.5")},
        {"integers", seed(std::string("\x00\x01\x05\x0d", 4), "0x1F 010 -08 2147483648 99")},
        {"floats", seed(std::string("\x02\x06\x07\x08", 4),
                        "1e5 -0x1p-2 inf nan(1) .5 5. 1e+ 3.4028236e38 1e-46")},
        {"tokens", seed(std::string("\x09\x0a\x09\x0a", 4),
                        "*MESH_VERTEX " + std::string(300, 'a') + " \xff\xfe")},
        {"utf16", seed(std::string("\x0b\x09\x0c\x0a", 4),
                       utf16("0\t1.5\t2.0\t-4.0\n7:    A:    3 B:    4 C:    5", true) + "1")},
    };
}

void append_bytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<size_t>(size));
}

// A 6 x 5 picture of `channels` channels whose values change across it.
std::vector<unsigned char> seed_picture(int channels) {
    std::vector<unsigned char> picture;
    for (int i = 0; i < 6 * 5 * channels; ++i)
        picture.push_back(static_cast<unsigned char>(i * 37 + i / channels * 11));
    return picture;
}

// After a budget byte (see image_fuzz.cpp): written images, the TGA seeds and,
// after a byte with its top bit set, shader scripts of the three kinds.
std::vector<std::pair<std::string, std::string>> image_seeds() {
    std::vector<std::pair<std::string, std::string>> seeds;
    const std::string budget(1, '\x10');
    for (int channels : {1, 2, 3, 4}) {
        const std::vector<unsigned char> picture = seed_picture(channels);
        std::string png = budget;
        std::string jpeg = budget;
        std::string bmp = budget;
        stbi_write_png_to_func(append_bytes, &png, 6, 5, channels, picture.data(), 6 * channels);
        stbi_write_jpg_to_func(append_bytes, &jpeg, 6, 5, channels, picture.data(), 90);
        stbi_write_bmp_to_func(append_bytes, &bmp, 6, 5, channels, picture.data());
        const std::string suffix = std::to_string(channels) + "ch";
        seeds.push_back({"image_" + suffix + ".png", png});
        seeds.push_back({"image_" + suffix + ".jpg", jpeg});
        seeds.push_back({"image_" + suffix + ".bmp", bmp});
    }
    for (const auto& [name, bytes] : tga_seeds())
        seeds.push_back({name, budget + bytes});
    const std::string script(1, '\x80');
    seeds.push_back(
        {"quake.shader", script + "// comment\ntextures/a/b\n{\n\tqer_editorImage textures/a/b_p\n"
                                  "\t{\n\t\tmap $lightmap\n\t}\n\t{\n\t\tmap textures/a/b_d.tga\n"
                                  "\t\tblendFunc filter\n\t}\n}\n"});
    seeds.push_back({"doom.mtr", script + "material textures/c/d {\n\t{ blend diffusemap map "
                                          "addnormals(textures/c/d_local, heightmap(x, 4)) }\n"
                                          "\tdiffusemap \"textures/c/d_d\" /* note */\n}\n"});
    seeds.push_back({"cafu.cmat", script + "Models/e/f\n{\n    diffuseMap ../f/f_diff.png\n}\n"
                                           "dofile(\"editor.cmat\")\n"});
    return seeds;
}

bool write_corpus(const fs::path& directory,
                  const std::vector<std::pair<std::string, std::string>>& seeds) {
    fs::create_directories(directory);
    for (const auto& [name, bytes] : seeds)
        if (!write_file(directory / name, bytes))
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    if (!write_corpus(root / "ase", in_every_mode(ase_seeds())) ||
        !write_corpus(root / "tga", tga_seeds()) ||
        !write_corpus(root / "scanner", scanner_seeds()) ||
        !write_corpus(root / "image", image_seeds())) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
