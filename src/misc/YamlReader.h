#pragma once

#include <string>

#include <yaml-cpp/yaml.h>

// Parses a YAML file of one document. A leading document start marker line
// ("---", alone or followed by blanks or a comment) is skipped. Raises
// "Could not open file: " + path when the file cannot be opened, and
// "YAML file <path> holds <n> documents; only one is read" when the rest holds
// more than one; the parser's own errors pass through.
YAML::Node readYaml(std::string path);
