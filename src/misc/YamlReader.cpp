#include "misc/YamlReader.h"

#include <string>

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
    const auto lineEnd = content->find('\n');
    if (isDocumentStart(content->substr(0, lineEnd))) {
        return YAML::Load(lineEnd == std::string::npos ? std::string() : content->substr(lineEnd + 1));
    }
    return YAML::Load(*content);
}
