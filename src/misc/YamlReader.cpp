#include "misc/YamlReader.h"

#include <string>
#include <vector>

#include "misc/Utilities.h"
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
    // Read as every input file is: a FIFO or a device is refused before
    // anything blocks, a directory cannot be read.
    const auto content = readFileContent(path);
    if (!content) {
        throw vemra_exception("Could not open file: " + path);
    }
    // The first line is dropped when it starts the document.
    const auto lineEnd = content->find('\n');
    const std::string text = !isDocumentStart(content->substr(0, lineEnd)) ? *content
                             : lineEnd == std::string::npos             ? std::string()
                                                                        : content->substr(lineEnd + 1);
    // A single Load would keep the first document and drop the others unseen.
    const std::vector<YAML::Node> documents = YAML::LoadAll(text);
    if (documents.size() > 1) {
        throw vemra_exception("YAML file " + path + " holds " + std::to_string(documents.size()) +
                              " documents; only one is read");
    }
    return documents.empty() ? YAML::Node() : documents.front();
}
