#include "misc/JsonLimits.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "misc/Utilities.h"
#include "vemra_exception.h"

namespace {

// Thrown out of the parser's callback; carries nothing, the caller words the error.
struct TooDeep {
};

std::string intRangeText()
{
    return std::to_string(std::numeric_limits<int>::min()) + " to " + std::to_string(std::numeric_limits<int>::max());
}

[[noreturn]] void refuseId(const nlohmann::json& value, const std::string& owner)
{
    throw vemra_exception("Invalid id " + value.dump() + " of " + owner + ": an id must be an integer from " +
                          intRangeText() + ".");
}

// A NUL shown as an escape: the raw byte would cut the message short in every log.
std::string shownWithNul(const std::string& text)
{
    std::string shown;
    for (const char c : text) {
        shown += c == '\0' ? std::string("\\0") : std::string(1, c);
    }
    return shown;
}

// The library's own document builder, refusing a container that would open
// level maxJsonDepth + 1. (The parser's callback form would do as well, but
// it scans the enclosing container after every value it ends: quadratic in
// the length of an array, 30 s on a document of 60 MB.)
class LimitedBuilder : public nlohmann::detail::json_sax_dom_parser<nlohmann::json> {
public:
    using Base = nlohmann::detail::json_sax_dom_parser<nlohmann::json>;
    explicit LimitedBuilder(nlohmann::json& result) : Base(result, true) {}

    bool start_object(std::size_t elements)
    {
        opened();
        return Base::start_object(elements);
    }
    bool end_object()
    {
        --depth;
        return Base::end_object();
    }
    bool start_array(std::size_t elements)
    {
        opened();
        return Base::start_array(elements);
    }
    bool end_array()
    {
        --depth;
        return Base::end_array();
    }

private:
    void opened()
    {
        if (++depth > maxJsonDepth) {
            throw TooDeep();
        }
    }
    int depth = 0;
};

// The parse, refused at maxJsonDepth, of any input the library reads.
template <typename Input> nlohmann::json parseLimited(Input&& input, const std::string& source)
{
    nlohmann::json result;
    try {
        LimitedBuilder builder(result);
        nlohmann::json::sax_parse(std::forward<Input>(input), &builder);
        return result;
    } catch (const TooDeep&) {
        // The part already built is freed without recursing.
    }
    throw vemra_exception("The JSON document " + source + " is nested deeper than " + std::to_string(maxJsonDepth) +
                          " levels.");
}

// The library's parse error again, with the file before its description.
nlohmann::json::parse_error namingFile(const nlohmann::json::parse_error& error, const std::string& path)
{
    const std::string text = error.what();
    const std::string head = "parse error";
    const auto start = text.find(head);
    const auto colon = start == std::string::npos ? std::string::npos : text.find(": ", start);
    const std::string description = colon == std::string::npos ? text : text.substr(colon + 2);
    std::size_t line = 0;
    std::size_t column = 0;
    if (colon != std::string::npos &&
        std::sscanf(text.c_str() + start + head.size(), " at line %zu, column %zu:", &line, &column) == 2 &&
        line > 0) {
        const nlohmann::detail::position_t position {error.byte, column, line - 1};
        return nlohmann::json::parse_error::create(error.id, position, path + ": " + description, nullptr);
    }
    return nlohmann::json::parse_error::create(error.id, error.byte, path + ": " + description, nullptr);
}

} // namespace

nlohmann::json parseJsonLimited(std::istream& stream, const std::string& source)
{
    return parseLimited(stream, source);
}

nlohmann::json parseJsonFile(const std::string& path)
{
    const std::string content = readInputFile(path, "JSON");
    try {
        return parseLimited(content, path);
    } catch (const nlohmann::json::parse_error& error) {
        throw namingFile(error, path);
    }
}

int readId(const nlohmann::json& entry, const std::string& owner)
{
    if (!entry.contains("id")) {
        return 0;
    }
    const nlohmann::json& value = entry.at("id");
    constexpr auto lowest = static_cast<double>(std::numeric_limits<int>::min());
    constexpr auto highest = static_cast<double>(std::numeric_limits<int>::max());
    switch (value.type()) {
    case nlohmann::json::value_t::number_integer: {
        const auto number = value.get<std::int64_t>();
        if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) {
            refuseId(value, owner);
        }
        return static_cast<int>(number);
    }
    case nlohmann::json::value_t::number_unsigned: {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) {
            refuseId(value, owner);
        }
        return static_cast<int>(number);
    }
    case nlohmann::json::value_t::number_float: {
        // 3.0 is the integer 3; -0.5 and 1e300 are no ids.
        const double number = value.get<double>();
        if (!std::isfinite(number) || number != std::trunc(number) || number < lowest || number > highest) {
            refuseId(value, owner);
        }
        return static_cast<int>(number);
    }
    default:
        // The library would turn a boolean into 0 or 1 without complaint.
        throw nlohmann::json::type_error::create(302, std::string("type must be number, but is ") + value.type_name(),
                                                 &value);
    }
}

int idAfter(int id, const std::string& owner)
{
    if (id == std::numeric_limits<int>::max()) {
        throw vemra_exception("No id is left for " + owner + ": the ids in use reach " + std::to_string(id) +
                              ", the largest id there is.");
    }
    return id + 1;
}

void checkNoNul(const std::string& text, const std::string& kind, const std::string& owner)
{
    if (text.find('\0') == std::string::npos) {
        return;
    }
    throw vemra_exception("Invalid " + kind + " \"" + shownWithNul(text) + "\"" + (owner.empty() ? "" : " of " + owner) +
                          ": a " + kind + " must not contain NUL");
}
