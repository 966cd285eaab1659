#pragma once

#include <string>

#include <yaml-cpp/yaml.h>

// Parses a YAML file. A leading document start marker line ("---", alone or
// followed by blanks or a comment) is skipped. Raises "Could not open file: "
// + path when the file cannot be opened; the parser's own errors pass through.
YAML::Node readYaml(std::string path);
