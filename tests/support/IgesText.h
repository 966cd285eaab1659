#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// An IGES text in the fixed form, edited entity by entity the way a damaged
// file differs from a sound one: its records keep their columns and numbers.
class IgesText {
public:
    explicit IgesText(const std::string& text)
    {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
    }

    std::string text() const
    {
        std::string out;
        for (const std::string& line : lines) {
            out += line + "\n";
        }
        return out;
    }

    // The directory entry number of the nth entity (from 0) of a type, or 0.
    int entityOfType(int type, int nth = 0) const
    {
        for (std::size_t i = firstOf('D'); i < lines.size() && lines[i][72] == 'D'; i += 2) {
            if (std::stoi(lines[i].substr(0, 8)) == type && nth-- == 0) {
                return static_cast<int>(i - firstOf('D')) + 1;
            }
        }
        return 0;
    }

    // The entity's parameters, up to and with their record delimiter.
    std::string parameters(int entity) const
    {
        std::string joined;
        for (std::size_t i : parameterLines(entity)) {
            joined += lines[i].substr(0, 64);
        }
        return joined.substr(0, joined.find(';') + 1);
    }

    // New parameters in the records the entity has.
    void setParameters(int entity, const std::string& parameters)
    {
        const std::vector<std::size_t> at = parameterLines(entity);
        ASSERT_LE(parameters.size(), 64 * at.size()) << parameters;
        for (std::size_t k = 0; k < at.size(); ++k) {
            std::string part = k * 64 < parameters.size() ? parameters.substr(k * 64, 64) : "";
            lines[at[k]].replace(0, 64, part + std::string(64 - part.size(), ' '));
        }
    }

    // Replaces the first occurrence of a text in the entity's parameters.
    void replaceInParameters(int entity, const std::string& from, const std::string& to)
    {
        std::string text = parameters(entity);
        const std::size_t found = text.find(from);
        ASSERT_NE(found, std::string::npos) << from << " in " << text;
        setParameters(entity, text.replace(found, from.size(), to));
    }

    // A field (from 0) of the first (0) or second (1) directory record.
    void setDirectoryField(int entity, int record, int field, long value)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%8ld", value);
        lines[firstOf('D') + static_cast<std::size_t>(entity - 1 + record)].replace(
            static_cast<std::size_t>(8 * field), 8, text);
    }

    void setType(int entity, int type)
    {
        setDirectoryField(entity, 0, 0, type);
        setDirectoryField(entity, 1, 0, type);
        std::string text = parameters(entity);
        setParameters(entity, std::to_string(type) + text.substr(text.find(',')));
    }

    std::vector<std::string> lines;

private:
    std::size_t firstOf(char section) const
    {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].size() > 72 && lines[i][72] == section) {
                return i;
            }
        }
        return lines.size();
    }

    std::vector<std::size_t> parameterLines(int entity) const
    {
        const std::string& first = lines[firstOf('D') + static_cast<std::size_t>(entity - 1)];
        const std::string& second = lines[firstOf('D') + static_cast<std::size_t>(entity)];
        const std::size_t start = firstOf('P') + std::stoul(first.substr(8, 8)) - 1;
        std::vector<std::size_t> at;
        for (std::size_t k = 0; k < std::stoul(second.substr(24, 8)); ++k) {
            at.push_back(start + k);
        }
        return at;
    }
};
