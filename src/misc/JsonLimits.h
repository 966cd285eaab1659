#pragma once

#include <istream>
#include <string>

#include <nlohmann/json.hpp>

// Limits on what an input document may hold, checked where it is read so that
// nothing downstream meets a value it cannot represent or a nesting it cannot
// walk.

// The deepest nesting of arrays and objects a document may have ("{}" is one
// level). Copying, comparing and writing a document recurse once per level.
constexpr int maxJsonDepth = 256;

// Parses one document; a document nested deeper than maxJsonDepth is refused
// as soon as the parser reaches that depth, so it is never built. `source`
// names the document in the message. Syntax errors are the library's own.
nlohmann::json parseJsonLimited(std::istream& stream, const std::string& source);

// Reads and parses the document in a file as parseJsonLimited does, naming
// the file in every refusal: one that cannot be read or is empty is refused as
// readInputFile refuses it ("JSON file <path> is empty"); a syntax error stays
// the library's parse error, with the file before its description
// ("... parse error at line 1, column 2: <path>: syntax error ...").
nlohmann::json parseJsonFile(const std::string& path);

// The "id" of an entry, 0 when it has none. A number that is not an integer
// within the range of int is refused naming `owner` ("entity Solid_1"); a
// value that is not a number is the library's type error.
int readId(const nlohmann::json& entry, const std::string& owner);

// The id after `id`; a clear error, naming what needed it, when `id` is the
// largest int.
int idAfter(int id, const std::string& owner);

// Refuses a path or file name holding a NUL, which every file-system call
// would silently cut short there. `kind` is what the text is ("path"), `owner`
// whose it is ("entity Solid_1", may be empty).
void checkNoNul(const std::string& text, const std::string& kind, const std::string& owner);
