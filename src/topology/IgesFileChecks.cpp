#include "topology/IgesFileChecks.h"

#include <charconv>
#include <string>
#include <limits>
#include <vector>

#include "topology/InputChecks.h"
#include "vemra_exception.h"

namespace {

constexpr std::size_t recordLength = 80;
constexpr const char sectionLetters[] = "SGDPT";

std::string typeName(int type)
{
    switch (type) {
    case 100: return "a circular arc (type 100)";
    case 102: return "a composite curve (type 102)";
    case 104: return "a conic arc (type 104)";
    case 106: return "a copious data set (type 106)";
    case 108: return "a plane (type 108)";
    case 110: return "a line (type 110)";
    case 112: return "a parametric spline curve (type 112)";
    case 114: return "a parametric spline surface (type 114)";
    case 116: return "a point (type 116)";
    case 118: return "a ruled surface (type 118)";
    case 120: return "a surface of revolution (type 120)";
    case 122: return "a tabulated cylinder (type 122)";
    case 123: return "a direction (type 123)";
    case 124: return "a transformation matrix (type 124)";
    case 126: return "a rational B-spline curve (type 126)";
    case 128: return "a rational B-spline surface (type 128)";
    case 130: return "an offset curve (type 130)";
    case 140: return "an offset surface (type 140)";
    case 141: return "a boundary (type 141)";
    case 142: return "a curve on a surface (type 142)";
    case 143: return "a bounded surface (type 143)";
    case 144: return "a trimmed surface (type 144)";
    case 186: return "a manifold solid (type 186)";
    case 190: return "a plane surface (type 190)";
    case 192: return "a cylindrical surface (type 192)";
    case 194: return "a conical surface (type 194)";
    case 196: return "a spherical surface (type 196)";
    case 198: return "a toroidal surface (type 198)";
    case 308: return "a subfigure definition (type 308)";
    case 408: return "a subfigure instance (type 408)";
    case 502: return "a vertex list (type 502)";
    case 504: return "an edge list (type 504)";
    case 508: return "a loop (type 508)";
    case 510: return "a face (type 510)";
    case 514: return "a shell (type 514)";
    default: return "an entity of type " + std::to_string(type);
    }
}

// The types a pointer may lead to, with the words that name them.
struct Allowed {
    const char* what;
    std::vector<int> types; // empty: any type
};

const Allowed anyEntity{"an entity", {}};
const Allowed curve{"a curve", {100, 102, 104, 106, 110, 112, 126, 130}};
const Allowed curveOrPoint{"a curve or point", {100, 102, 104, 106, 110, 112, 116, 126, 130}};
const Allowed surface{"a surface",
                      {108, 114, 118, 120, 122, 128, 140, 143, 144, 190, 192, 194, 196, 198}};
const Allowed point{"a point (type 116)", {116}};
const Allowed direction{"a direction (type 123)", {123}};
const Allowed line{"a line (type 110)", {110}};
const Allowed transformation{"a transformation matrix (type 124)", {124}};
const Allowed boundary{"a boundary (type 141)", {141}};
const Allowed curveOnSurface{"a curve on a surface (type 142)", {142}};
const Allowed subfigure{"a subfigure definition (type 308)", {308}};
const Allowed vertexList{"a vertex list (type 502)", {502}};
const Allowed edgeList{"an edge list (type 504)", {504}};
const Allowed loop{"a loop (type 508)", {508}};
const Allowed face{"a face (type 510)", {510}};
const Allowed shell{"a shell (type 514)", {514}};

struct Token {
    enum Kind { Default, Integer, Real, Text } kind = Default;
    long long integer = 0;
    double real = 0;
    std::string_view raw;
};

struct Entry {
    int type = 0;
    int parameterStart = 0; // in the P section, from 1
    int parameterLines = 0;
    int transformation = 0;
    int listSize = -1; // the items of a vertex or edge list
};

// A list index to check once every list's size is known.
struct ListIndex {
    int entity; // the entry holding the index, from 0
    const char* what;
    int list; // the entry of the list, from 0
    long long index;
};

class IgesChecker {
public:
    IgesChecker(std::string_view content, const std::string& fileName) : content(content), fileName(fileName) {}

    IgesDeclarations run()
    {
        // Text that is not IGES in the fixed form at all is the reader's to
        // refuse, with its own status.
        if (content.size() < 73 || content[72] != 'S') {
            return {};
        }
        splitRecords();
        readGlobalSection();
        readDirectory();
        IgesDeclarations declarations;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            readParameters(static_cast<int>(i));
            declarations.solids += entries[i].type == 186 ? 1 : 0;
        }
        for (const ListIndex& item : indices) {
            const int size = entries[static_cast<std::size_t>(item.list)].listSize;
            if (item.index < 1 || item.index > size) {
                fail("its " + std::string(item.what) + " index " + std::to_string(item.index) +
                         " lies outside the " + std::to_string(size) + " items of entity " +
                         std::to_string(deNumber(item.list)),
                     item.entity);
            }
        }
        findCycle();
        return declarations;
    }

private:
    static int deNumber(int entry) { return 2 * entry + 1; }

    [[noreturn]] void fail(const std::string& fault, int entry = -1) const
    {
        std::string message = "IGES file " + fileName + ": " + fault;
        if (entry >= 0) {
            message += " (entity " + std::to_string(deNumber(entry)) + ")";
        }
        throw vemra_exception(message);
    }

    // Records by section, each without its line end; the line numbers follow.
    void splitRecords()
    {
        std::size_t start = 0;
        std::size_t lineNumber = 0;
        std::vector<std::string_view> lines;
        while (start < content.size()) {
            std::size_t end = content.find('\n', start);
            const std::size_t next = end == std::string_view::npos ? content.size() : end + 1;
            end = end == std::string_view::npos ? content.size() : end;
            std::string_view record = content.substr(start, end - start);
            if (!record.empty() && record.back() == '\r') {
                record.remove_suffix(1);
            }
            lines.push_back(record);
            start = next;
        }
        // Blank lines after the terminate record are no part of the file.
        while (!lines.empty() && lines.back().find_first_not_of(" \t\r\x1a") == std::string_view::npos) {
            lines.pop_back();
        }
        if (lines.empty() || lines.back().size() < 73 || lines.back()[72] != 'T') {
            fail("the file ends without its terminate record (T section): it is cut short");
        }
        int section = 0;
        for (const std::string_view record : lines) {
            ++lineNumber;
            if (record.size() != recordLength) {
                fail("line " + std::to_string(lineNumber) + " is " + std::to_string(record.size()) +
                     " columns long where an IGES record has 80");
            }
            const char letter = record[72];
            int found = 0;
            while (found < 5 && sectionLetters[found] != letter) {
                ++found;
            }
            if (found == 5 || found < section) {
                fail("line " + std::to_string(lineNumber) + " holds a record of section '" + std::string(1, letter) +
                     "' where the S, G, D, P and T sections follow each other");
            }
            section = found;
            records[found].push_back(record);
        }
        if (records[4].size() != 1) {
            fail("the file holds " + std::to_string(records[4].size()) + " terminate records where it has one");
        }
        const std::string_view terminate = records[4].front();
        for (int i = 0; i < 4; ++i) {
            const std::string_view field = terminate.substr(static_cast<std::size_t>(8 * i), 8);
            long long announced = -1;
            if (field[0] == sectionLetters[i]) {
                announced = wholeNumber(field.substr(1), -1);
            }
            if (announced < 0) {
                fail("the terminate record does not announce the size of the " + std::string(1, sectionLetters[i]) +
                     " section");
            }
            if (static_cast<std::size_t>(announced) != records[i].size()) {
                fail("the " + std::string(1, sectionLetters[i]) + " section holds " +
                     std::to_string(records[i].size()) + " records where the terminate record announces " +
                     std::to_string(announced) + ": the file is cut short or damaged");
            }
        }
        for (int i : {2, 3}) {
            for (std::size_t k = 0; k < records[i].size(); ++k) {
                if (wholeNumber(records[i][k].substr(73), -1) != static_cast<long long>(k + 1)) {
                    fail("record " + std::to_string(k + 1) + " of the " + std::string(1, sectionLetters[i]) +
                         " section bears the number '" + std::string(records[i][k].substr(73)) + "'");
                }
            }
        }
    }

    // A fixed-column integer; blanks alone give the default, anything else
    // that is not a whole number gives the lowest long long.
    static long long wholeNumber(std::string_view field, long long blank)
    {
        const std::size_t first = field.find_first_not_of(' ');
        if (first == std::string_view::npos) {
            return blank;
        }
        const std::size_t last = field.find_last_not_of(' ');
        field = field.substr(first, last - first + 1);
        if (!field.empty() && field[0] == '+') {
            field.remove_prefix(1);
        }
        long long value = 0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (error != std::errc() || end != field.data() + field.size() || field.empty()) {
            return std::numeric_limits<long long>::min();
        }
        return value;
    }

    void readGlobalSection()
    {
        std::string text;
        for (const std::string_view record : records[1]) {
            text.append(record.substr(0, 72));
        }
        // The first two parameters may name other delimiters than ',' and ';'.
        std::size_t at = 0;
        for (char* delimiter : {&parameterDelimiter, &recordDelimiter}) {
            while (at < text.size() && text[at] == ' ') {
                ++at;
            }
            if (text.compare(at, 2, "1H") == 0 && at + 2 < text.size()) {
                *delimiter = text[at + 2];
                at += 3;
            }
            while (at < text.size() && text[at] == ' ') {
                ++at;
            }
            if (at < text.size() && text[at] == recordDelimiter) {
                return;
            }
            if (at >= text.size() || text[at] != parameterDelimiter) {
                fail("the global section does not begin with its delimiters");
            }
            ++at;
        }
        if (parameterDelimiter == recordDelimiter || parameterDelimiter == ' ' || recordDelimiter == ' ') {
            fail("the global section names unusable delimiters");
        }
        tokenize(std::string_view(text).substr(at), -1);
        // The model space scale (the 13th parameter, the 11th after the delimiters).
        if (tokens.size() > 10 && tokens[10].kind != Token::Default && number(tokens[10], -1) <= 0) {
            fail("the global section's model space scale " + std::string(tokens[10].raw) + " is not positive");
        }
    }

    void readDirectory()
    {
        const std::vector<std::string_view>& directory = records[2];
        if (directory.size() % 2 != 0) {
            fail("the directory holds " + std::to_string(directory.size()) + " records, not pairs of records");
        }
        entries.resize(directory.size() / 2);
        const long long parameterRecords = static_cast<long long>(records[3].size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const int entry = static_cast<int>(i);
            const std::string_view first = directory[2 * i];
            const std::string_view second = directory[2 * i + 1];
            auto field = [&](std::string_view record, int index, const char* what) {
                const long long value = wholeNumber(record.substr(static_cast<std::size_t>(8 * index), 8), 0);
                if (value < -99999999 || value > 99999999) {
                    fail("its directory field " + std::string(what) + " '" +
                             std::string(record.substr(static_cast<std::size_t>(8 * index), 8)) +
                             "' is not a whole number",
                         entry);
                }
                return value;
            };
            Entry& e = entries[i];
            e.type = static_cast<int>(field(first, 0, "entity type"));
            if (field(second, 0, "entity type") != e.type) {
                fail("its two directory records give different entity types", entry);
            }
            const long long start = field(first, 1, "parameter data");
            const long long count = field(second, 3, "parameter line count");
            if (e.type != 0 && (start < 1 || count < 1 || start + count - 1 > parameterRecords)) {
                fail("its parameter records " + std::to_string(start) + " to " + std::to_string(start + count - 1) +
                         " lie outside the " + std::to_string(parameterRecords) + " records of the P section",
                     entry);
            }
            e.parameterStart = static_cast<int>(start);
            e.parameterLines = static_cast<int>(count);
            const long long transform = field(first, 6, "transformation matrix");
            e.transformation = transform > 0 ? static_cast<int>(transform) : 0;
            // Line font, level and color pointers are negative; view and label
            // display pointers positive. Only their existence matters to the reader.
            const long long references[] = {-field(first, 3, "line font"), -field(first, 4, "level"),
                                             field(first, 5, "view"), field(first, 7, "label display"),
                                             -field(second, 2, "color")};
            for (const long long reference : references) {
                if (reference > 0) {
                    target(reference, entry, "directory", anyEntity);
                }
            }
        }
        // Pointers are checked against types once every type is known.
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].transformation != 0) {
                addEdge(static_cast<int>(i), target(entries[i].transformation, static_cast<int>(i),
                                                     "transformation", transformation));
            }
        }
    }

    // The entry a directory entry number leads to, from 0, checked.
    int target(long long pointer, int entry, const std::string& what, const Allowed& allowed)
    {
        if (pointer < 1 || pointer % 2 == 0 || pointer > 2 * static_cast<long long>(entries.size())) {
            fail("its " + what + " pointer " + std::to_string(pointer) + " leads to no directory entry", entry);
        }
        const int found = static_cast<int>((pointer - 1) / 2);
        if (found == entry) {
            fail("its " + what + " pointer leads to itself", entry);
        }
        if (allowed.types.size() != 0) {
            bool fits = false;
            for (int type : allowed.types) {
                fits = fits || entries[static_cast<std::size_t>(found)].type == type;
            }
            if (!fits) {
                fail("its " + what + " pointer " + std::to_string(pointer) + " leads to " +
                         typeName(entries[static_cast<std::size_t>(found)].type) + " where " + allowed.what +
                         " belongs",
                     entry);
            }
        }
        return found;
    }

    void addEdge(int from, int to)
    {
        edges.push_back({from, to});
    }

    // The parameters up to the record delimiter, each a token.
    void tokenize(std::string_view text, int entry)
    {
        tokens.clear();
        std::size_t at = 0;
        for (;;) {
            while (at < text.size() && text[at] == ' ') {
                ++at;
            }
            if (at >= text.size()) {
                fail(entry < 0 ? "the global section ends without its record delimiter"
                               : "its parameters end without their record delimiter",
                     entry);
            }
            Token token;
            const std::size_t start = at;
            std::size_t digits = at;
            while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
                ++digits;
            }
            if (digits > at && digits < text.size() && text[digits] == 'H') {
                const long long length = wholeNumber(text.substr(at, digits - at), -1);
                if (length < 0 || static_cast<unsigned long long>(length) > text.size() - digits - 1) {
                    fail("a string of " + std::string(text.substr(at, digits - at)) +
                             " characters runs past the end of its parameters",
                         entry);
                }
                token.kind = Token::Text;
                at = digits + 1 + static_cast<std::size_t>(length);
                token.raw = text.substr(start, at - start);
                while (at < text.size() && text[at] == ' ') {
                    ++at;
                }
            } else {
                while (at < text.size() && text[at] != parameterDelimiter && text[at] != recordDelimiter) {
                    ++at;
                }
                std::size_t end = at;
                while (end > start && text[end - 1] == ' ') {
                    --end;
                }
                token.raw = text.substr(start, end - start);
                parseNumber(token, entry);
            }
            if (at >= text.size()) {
                fail(entry < 0 ? "the global section ends without its record delimiter"
                               : "its parameters end without their record delimiter",
                     entry);
            }
            if (text[at] != parameterDelimiter && text[at] != recordDelimiter) {
                fail("the parameter '" + std::string(text.substr(start, at - start + 1)) + "' is not a number",
                     entry);
            }
            tokens.push_back(token);
            if (text[at++] == recordDelimiter) {
                return;
            }
        }
    }

    void parseNumber(Token& token, int entry) const
    {
        std::string_view raw = token.raw;
        if (raw.empty()) {
            return;
        }
        if (raw[0] == '+') {
            raw.remove_prefix(1);
        }
        if (raw.find_first_of(".EeDd") == std::string_view::npos) {
            const auto [end, error] = std::from_chars(raw.data(), raw.data() + raw.size(), token.integer);
            if (error == std::errc() && end == raw.data() + raw.size()) {
                token.kind = Token::Integer;
                return;
            }
            if (error == std::errc::result_out_of_range) {
                fail("the number " + std::string(token.raw) + " is beyond the kernel's range", entry);
            }
        } else {
            char buffer[64];
            if (raw.size() < sizeof buffer) {
                for (std::size_t i = 0; i < raw.size(); ++i) {
                    buffer[i] = raw[i] == 'D' || raw[i] == 'd' ? 'E' : raw[i];
                }
                const auto [end, error] = std::from_chars(buffer, buffer + raw.size(), token.real);
                if (end == buffer + raw.size() && (error == std::errc() || error == std::errc::result_out_of_range)) {
                    if (error != std::errc() || !isKernelNumber(token.real)) {
                        fail("the number " + std::string(token.raw) +
                                 " is not a finite number within the kernel's range",
                             entry);
                    }
                    token.kind = Token::Real;
                    return;
                }
            }
        }
        // Writers put unquoted names in the global section, which the reader
        // passes over; only its numbers matter.
        if (entry < 0) {
            token.kind = Token::Text;
            return;
        }
        fail("the parameter '" + std::string(token.raw) + "' is not a number", entry);
    }

    double number(const Token& token, int entry) const
    {
        if (token.kind == Token::Integer) {
            return static_cast<double>(token.integer);
        }
        if (token.kind != Token::Real) {
            fail("the parameter '" + std::string(token.raw) + "' is not a number", entry);
        }
        return token.real;
    }

    void readParameters(int entry)
    {
        const Entry& e = entries[static_cast<std::size_t>(entry)];
        if (e.type == 0) {
            return;
        }
        text.clear();
        for (int k = e.parameterStart; k < e.parameterStart + e.parameterLines; ++k) {
            const std::string_view record = records[3][static_cast<std::size_t>(k - 1)];
            if (wholeNumber(record.substr(64, 8), -1) != deNumber(entry)) {
                fail("its parameter record " + std::to_string(k) + " belongs to entity '" +
                         std::string(record.substr(64, 8)) + "'",
                     entry);
            }
            text.append(record.substr(0, 64));
        }
        tokenize(text, entry);
        if (tokens.front().kind != Token::Integer || tokens.front().integer != e.type) {
            fail("its parameters begin with '" + std::string(tokens.front().raw) +
                     "' where its directory entry has type " + std::to_string(e.type),
                 entry);
        }
        Parameters p(*this, entry);
        followed(e.type, p);
    }

    // Reads one entity's parameters in order, each checked as it is read.
    class Parameters {
    public:
        Parameters(IgesChecker& checker, int entry) : checker(checker), entry(entry) {}

        std::size_t left() const { return checker.tokens.size() - at; }

        long long integer(const char* what)
        {
            const Token& token = next(what);
            if (token.kind == Token::Default) {
                return 0;
            }
            if (token.kind != Token::Integer) {
                checker.fail("its " + std::string(what) + " '" + std::string(token.raw) + "' is not a whole number",
                             entry);
            }
            return token.integer;
        }

        // A count of items of the given number of parameters each, all of
        // which must follow it.
        int count(const char* what, long long perItem)
        {
            const long long n = integer(what);
            if (n < 0 || n > static_cast<long long>(left()) / perItem) {
                checker.fail("its " + std::string(what) + " " + std::to_string(n) + " cannot fit in the " +
                                 std::to_string(left()) + " parameters that follow it",
                             entry);
            }
            return static_cast<int>(n);
        }

        // The entry a pointer leads to, from 0, or -1 for a null pointer where one may stand.
        int pointer(const char* what, const Allowed& allowed, bool mayBeNull = false)
        {
            const long long value = integer(what);
            if (value == 0 && mayBeNull) {
                return -1;
            }
            const int found = checker.target(value, entry, what, allowed);
            checker.addEdge(entry, found);
            return found;
        }

        void listIndex(const char* what, int list)
        {
            const long long index = integer(what);
            if (list >= 0) {
                checker.indices.push_back({entry, what, list, index});
            }
        }

        void skip(std::size_t n)
        {
            for (std::size_t i = 0; i < n; ++i) {
                next("parameters");
            }
        }

        void setListSize(int n) { checker.entries[static_cast<std::size_t>(entry)].listSize = n; }

        // The parameters a table of the given size takes, which must follow.
        void require(long long n, const char* what)
        {
            if (n < 0 || n > static_cast<long long>(left())) {
                checker.fail("its " + std::string(what) + " take " + std::to_string(n) + " parameters where " +
                                 std::to_string(left()) + " follow",
                             entry);
            }
        }

    private:
        const Token& next(const char* what)
        {
            if (at >= checker.tokens.size()) {
                checker.fail("its parameters end before its " + std::string(what), entry);
            }
            return checker.tokens[at++];
        }

        IgesChecker& checker;
        int entry;
        std::size_t at = 1; // after the entity type
    };

    // The entities whose pointers the transfer follows, by their layouts.
    void followed(int type, Parameters& p)
    {
        switch (type) {
        case 186: {
            p.pointer("shell", shell);
            p.skip(1);
            const int voids = p.count("void count", 2);
            for (int i = 0; i < voids; ++i) {
                p.pointer("void shell", shell);
                p.skip(1);
            }
            break;
        }
        case 514: {
            const int faces = p.count("face count", 2);
            for (int i = 0; i < faces; ++i) {
                p.pointer("face", face);
                p.skip(1);
            }
            break;
        }
        case 510: {
            p.pointer("surface", surface);
            const int loops = p.count("loop count", 1);
            p.skip(1);
            for (int i = 0; i < loops; ++i) {
                p.pointer("loop", loop);
            }
            break;
        }
        case 508: {
            const int edges = p.count("edge count", 5);
            for (int i = 0; i < edges; ++i) {
                const long long kind = p.integer("edge kind");
                const int list = p.pointer("edge list", kind == 1 ? vertexList : edgeList);
                p.listIndex("edge", list);
                p.skip(1);
                const int curves = p.count("parameter curve count", 2);
                for (int k = 0; k < curves; ++k) {
                    p.skip(1);
                    p.pointer("parameter curve", curve);
                }
            }
            break;
        }
        case 504: {
            const int edges = p.count("edge count", 5);
            p.setListSize(edges);
            for (int i = 0; i < edges; ++i) {
                p.pointer("edge curve", curve);
                p.listIndex("start vertex", p.pointer("start vertex list", vertexList));
                p.listIndex("end vertex", p.pointer("end vertex list", vertexList));
            }
            break;
        }
        case 502: {
            const int vertices = p.count("vertex count", 3);
            p.setListSize(vertices);
            break;
        }
        case 102: {
            const int curves = p.count("curve count", 1);
            for (int i = 0; i < curves; ++i) {
                p.pointer("member", curveOrPoint);
            }
            break;
        }
        case 106: {
            const long long form = p.integer("coordinate kind");
            p.count("point count", form == 1 ? 2 : form == 3 ? 6 : 3);
            break;
        }
        case 118:
            p.pointer("first curve", curveOrPoint);
            p.pointer("second curve", curveOrPoint);
            break;
        case 120:
            p.pointer("axis", line);
            p.pointer("generatrix", curve);
            break;
        case 122: p.pointer("directrix", curve); break;
        case 126: {
            const long long k = p.integer("upper index");
            const long long m = p.integer("degree");
            const long long limit = static_cast<long long>(p.left());
            const bool sane = k >= 0 && m >= 0 && k <= limit && m <= limit;
            p.require(sane ? 4 + (k + m + 2) + 4 * (k + 1) + 2 : -1, "knots, weights and poles");
            break;
        }
        case 128: {
            const long long k1 = p.integer("first upper index");
            const long long k2 = p.integer("second upper index");
            const long long m1 = p.integer("first degree");
            const long long m2 = p.integer("second degree");
            const long long limit = static_cast<long long>(p.left());
            const bool sane = k1 >= 0 && k2 >= 0 && m1 >= 0 && m2 >= 0 && k1 <= limit && k2 <= limit &&
                              m1 <= limit && m2 <= limit;
            p.require(sane ? 5 + (k1 + m1 + 2) + (k2 + m2 + 2) + 4 * (k1 + 1) * (k2 + 1) + 4 : -1,
                      "knots, weights and poles");
            break;
        }
        case 140:
            p.skip(4);
            p.pointer("base surface", surface);
            break;
        case 141: {
            p.skip(2);
            p.pointer("surface", surface);
            const int curves = p.count("curve count", 3);
            for (int i = 0; i < curves; ++i) {
                p.pointer("model space curve", curve);
                p.skip(1);
                const int pcurves = p.count("parameter curve count", 1);
                for (int k = 0; k < pcurves; ++k) {
                    p.pointer("parameter curve", curve);
                }
            }
            break;
        }
        case 142:
            p.skip(1);
            p.pointer("surface", surface);
            p.pointer("parameter curve", curve, true);
            p.pointer("model space curve", curve, true);
            break;
        case 143: {
            p.skip(1);
            p.pointer("surface", surface);
            const int boundaries = p.count("boundary count", 1);
            for (int i = 0; i < boundaries; ++i) {
                p.pointer("boundary", boundary);
            }
            break;
        }
        case 144: {
            p.pointer("surface", surface);
            p.skip(1);
            const int inner = p.count("inner boundary count", 1);
            p.pointer("outer boundary", curveOnSurface, true);
            for (int i = 0; i < inner; ++i) {
                p.pointer("inner boundary", curveOnSurface);
            }
            break;
        }
        case 190: case 192: case 194: case 196: case 198:
            p.pointer("location", point);
            if (type != 196) {
                p.pointer("axis", direction);
            }
            break;
        case 308: {
            p.skip(2);
            const int members = p.count("member count", 1);
            for (int i = 0; i < members; ++i) {
                p.pointer("member", anyEntity);
            }
            break;
        }
        case 408: p.pointer("subfigure", subfigure); break;
        default: break;
        }
    }

    // Depth-first over the references, without recursion: a file may nest deeply.
    void findCycle()
    {
        const std::size_t n = entries.size();
        std::vector<std::size_t> firstEdge(n + 1, 0);
        for (const auto& edge : edges) {
            ++firstEdge[static_cast<std::size_t>(edge.first) + 1];
        }
        for (std::size_t i = 0; i < n; ++i) {
            firstEdge[i + 1] += firstEdge[i];
        }
        std::vector<int> targets(edges.size());
        std::vector<std::size_t> fill(firstEdge.begin(), firstEdge.end() - 1);
        for (const auto& edge : edges) {
            targets[fill[static_cast<std::size_t>(edge.first)]++] = edge.second;
        }
        enum : char { unseen, open, done };
        std::vector<char> state(n, unseen);
        std::vector<std::pair<int, std::size_t>> path; // entry, next edge
        for (std::size_t root = 0; root < n; ++root) {
            if (state[root] != unseen) {
                continue;
            }
            path.push_back({static_cast<int>(root), firstEdge[root]});
            state[root] = open;
            while (!path.empty()) {
                auto& [entry, edge] = path.back();
                if (edge == firstEdge[static_cast<std::size_t>(entry) + 1]) {
                    state[static_cast<std::size_t>(entry)] = done;
                    path.pop_back();
                    continue;
                }
                const int to = targets[edge++];
                if (state[static_cast<std::size_t>(to)] == open) {
                    std::string cycle;
                    bool on = false;
                    for (const auto& step : path) {
                        on = on || step.first == to;
                        if (on) {
                            cycle += std::to_string(deNumber(step.first)) + " -> ";
                        }
                    }
                    fail("entities " + cycle + std::to_string(deNumber(to)) + " refer to each other in a cycle", to);
                }
                if (state[static_cast<std::size_t>(to)] == unseen) {
                    state[static_cast<std::size_t>(to)] = open;
                    path.push_back({to, firstEdge[static_cast<std::size_t>(to)]});
                }
            }
        }
    }

    std::string_view content;
    const std::string& fileName;
    std::vector<std::string_view> records[5];
    char parameterDelimiter = ',';
    char recordDelimiter = ';';
    std::vector<Entry> entries;
    std::vector<ListIndex> indices;
    std::vector<std::pair<int, int>> edges;
    std::vector<Token> tokens;
    std::string text;
};

} // namespace

IgesDeclarations checkIgesText(std::string_view content, const std::string& fileName)
{
    return IgesChecker(content, fileName).run();
}
