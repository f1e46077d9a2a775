// Finding the image file that a material names, on disks where the case of
// names often differs from the Windows machine that wrote them, and through
// the shader scripts of game trees.
#pragma once

#include "image/material_textures.h"

#include <map>
#include <string>
#include <vector>

// One entry of a folder.
struct folder_entry {
    std::string name; // UTF-8
    bool is_folder;
    bool is_file;
};

// A script that may define shaders, and the folder its images are found from.
struct shader_script {
    std::string path;
    std::string image_folder;
};

// Where one model's textures are looked for, and what was already read there.
struct texture_search {
    std::vector<std::string> model_folders; // the model's folder, then each folder above it
    std::vector<std::string> extra_folders; // given with -textures, in order
    std::string model_name;                 // the model's file name without its extension
    // Folder path -> its entries by lower-case name; each folder is listed once.
    std::map<std::string, std::multimap<std::string, folder_entry>> listings;
    bool scripts_read = false;                      // whether the two fields below are filled
    std::vector<shader_script> scripts;             // in search order
    std::map<std::string, size_t> script_of_shader; // shader key -> index into scripts, first wins
    std::map<std::string, std::vector<std::string>> shader_images; // shader key -> its images
};

texture_search start_texture_search(const std::string& model_path,
                                    const std::vector<std::string>& texture_folders);

// The request's image file: its bitmap, then its material name, as a path,
// then as a shader; empty when none of them leads to a file.
std::string find_texture_file(texture_search& search, const texture_request& request);

// Where find_texture_file looks, for messages.
std::string searched_places(const texture_search& search);
