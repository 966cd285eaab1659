#pragma once

#include <istream>
#include <streambuf>
#include <string_view>

// An input stream over text held elsewhere, without the copy that
// std::istringstream makes: files are read whole once and then checked and
// parsed several times, and a large meshed file would otherwise be held
// several times over. The text must outlive the stream.
class StringViewBuffer : public std::streambuf {
public:
    explicit StringViewBuffer(std::string_view text)
    {
        // The get area is only ever read.
        char* begin = const_cast<char*>(text.data());
        setg(begin, begin, begin + text.size());
    }

protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override
    {
        if ((which & std::ios_base::in) == 0) {
            return pos_type(off_type(-1));
        }
        const off_type size = egptr() - eback();
        off_type base = 0;
        if (direction == std::ios_base::cur) {
            base = gptr() - eback();
        } else if (direction == std::ios_base::end) {
            base = size;
        }
        const off_type target = base + offset;
        if (target < 0 || target > size) {
            return pos_type(off_type(-1));
        }
        setg(eback(), eback() + target, egptr());
        return pos_type(target);
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode which) override
    {
        return seekoff(off_type(position), std::ios_base::beg, which);
    }
};

class StringViewStream : public std::istream {
public:
    explicit StringViewStream(std::string_view text) : std::istream(nullptr), buffer_(text) { rdbuf(&buffer_); }

private:
    StringViewBuffer buffer_;
};
