#include "image/shader_scripts.h"

#include <cctype>
#include <cstddef>

namespace {

struct token {
    std::string text;
    int line;
};

std::string lower_case(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Words, quoted strings and braces; comments of both C++ forms are skipped.
std::vector<token> split_tokens(const std::string& text) {
    std::vector<token> tokens;
    int line = 1;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (text.compare(i, 2, "//") == 0) {
            while (i < text.size() && text[i] != '\n')
                ++i;
        } else if (text.compare(i, 2, "/*") == 0) {
            const size_t end = text.find("*/", i + 2);
            const size_t stop = end == std::string::npos ? text.size() : end + 2;
            for (; i < stop; ++i)
                line += text[i] == '\n' ? 1 : 0;
        } else if (c == '{' || c == '}') {
            tokens.push_back({std::string(1, c), line});
            ++i;
        } else if (c == '"') {
            const size_t end = text.find_first_of("\"\n", i + 1);
            const size_t stop = end == std::string::npos ? text.size() : end;
            tokens.push_back({text.substr(i + 1, stop - i - 1), line});
            i = stop < text.size() && text[stop] == '"' ? stop + 1 : stop;
        } else {
            const size_t start = i;
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) &&
                   text[i] != '{' && text[i] != '}' && text[i] != '"')
                ++i;
            tokens.push_back({text.substr(start, i - start), line});
        }
    }
    return tokens;
}

// The image inside a Doom 3 image program such as
// "addnormals(textures/a_local, heightmap(textures/a_h, 4))": its first path.
std::string image_of_value(std::string value) {
    size_t open = value.find('(');
    while (open != std::string::npos) {
        value.erase(0, open + 1);
        open = value.find('(');
    }
    const size_t end = value.find_first_of(",)");
    if (end != std::string::npos)
        value.erase(end);
    return value;
}

// What one definition names, gathered while its body is read.
struct definition_images {
    std::string diffuse;
    std::string editor;
    std::string first_stage_map;
    std::string stage_map;         // `map` of the stage being read
    bool stage_is_diffuse = false; // Doom 3's "blend diffusemap" stage
};

void take_keyword(definition_images& images, int depth, const std::string& keyword,
                  const std::string& value) {
    const std::string image = image_of_value(value);
    if (image.empty())
        return;
    if (keyword == "diffusemap" && images.diffuse.empty())
        images.diffuse = image;
    else if (depth == 1 && keyword == "qer_editorimage" && images.editor.empty())
        images.editor = image;
    else if (depth == 2 && (keyword == "map" || keyword == "clampmap") && image[0] != '$' &&
             images.stage_map.empty())
        images.stage_map = image;
    else if (depth == 2 && keyword == "blend" && lower_case(value) == "diffusemap")
        images.stage_is_diffuse = true;
}

void end_stage(definition_images& images) {
    if (images.stage_is_diffuse && images.diffuse.empty())
        images.diffuse = images.stage_map;
    if (images.first_stage_map.empty())
        images.first_stage_map = images.stage_map;
    images.stage_map.clear();
    images.stage_is_diffuse = false;
}

shader_definition finish_definition(const std::string& name, const definition_images& images) {
    shader_definition definition{shader_key(name), {}};
    for (const std::string* image : {&images.diffuse, &images.editor, &images.first_stage_map})
        if (!image->empty())
            definition.images.push_back(*image);
    return definition;
}

} // namespace

std::string shader_key(const std::string& name) {
    std::string key = lower_case(name);
    for (char& c : key)
        c = c == '\\' ? '/' : c;
    const size_t start = key.find_first_not_of('/');
    return start == std::string::npos ? std::string() : key.substr(start);
}

std::vector<shader_definition> parse_shader_script(const std::string& text) {
    const std::vector<token> tokens = split_tokens(text);
    std::vector<shader_definition> definitions;
    std::string name;
    definition_images images;
    int depth = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string& word = tokens[i].text;
        if (word == "{") {
            if (depth == 0)
                images = {};
            ++depth;
        } else if (word == "}") {
            if (depth == 2)
                end_stage(images);
            if (depth == 1 && !name.empty()) {
                definitions.push_back(finish_definition(name, images));
                name.clear();
            }
            depth = depth > 0 ? depth - 1 : 0;
        } else if (depth == 0) {
            name = word;
        } else if (i + 1 < tokens.size() && tokens[i + 1].line == tokens[i].line &&
                   tokens[i + 1].text != "{" && tokens[i + 1].text != "}") {
            take_keyword(images, depth, lower_case(word), tokens[i + 1].text);
        }
    }
    return definitions;
}
