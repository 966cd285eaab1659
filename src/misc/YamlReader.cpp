#include "misc/YamlReader.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "vemra_exception.h"

namespace {

// "---" alone, or followed by blanks or a comment. A line that merely holds
// three dashes ("title: a---b", "--- value") is data.
bool isDocumentStart(const std::string& line)
{
    if (line.compare(0, 3, "---") != 0) {
        return false;
    }
    const auto rest = line.find_first_not_of(" \t\r", 3);
    return rest == std::string::npos || (rest > 3 && line[rest] == '#');
}

} // namespace

YAML::Node readYaml(std::string path)
{
    std::ifstream file;
    // A directory opens as a stream on Linux but reads as an empty file.
    std::error_code ignored;
    if (!std::filesystem::is_directory(path, ignored)) {
        file.open(path);
    }
    if (!file.is_open()) {
        throw vemra_exception("Could not open file: " + path);
    }

    std::string firstLine;
    std::getline(file, firstLine);
    if (!isDocumentStart(firstLine)) {
        file.clear();
        file.seekg(0);
    }
    std::stringstream text;
    text << file.rdbuf();
    // A single Load would keep the first document and drop the others unseen.
    const std::vector<YAML::Node> documents = YAML::LoadAll(text.str());
    if (documents.size() > 1) {
        throw vemra_exception("YAML file " + path + " holds " + std::to_string(documents.size()) +
                              " documents; only one is read");
    }
    return documents.empty() ? YAML::Node() : documents.front();
}
