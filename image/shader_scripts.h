// The shader definitions of game material scripts: Quake 3 `.shader`,
// Doom 3 `.mtr` and Cafu `.cmat` files share one layout, a name followed by
// a braced body whose nested braces are stages.
#pragma once

#include <string>
#include <vector>

struct shader_definition {
    std::string key;                 // the name as shader_key makes it
    std::vector<std::string> images; // best first: diffuse map, editor image, first stage map
};

// A name compared with shader names: separators as slashes, no leading
// slash, ASCII letters in lower case.
std::string shader_key(const std::string& name);

// Every definition in the script's text, in order; keywords in any case.
std::vector<shader_definition> parse_shader_script(const std::string& text);
