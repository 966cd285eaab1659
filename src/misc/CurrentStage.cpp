#include "misc/CurrentStage.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<const char*> stage{"starting the run"};
static_assert(std::atomic<const char*>::is_always_lock_free, "the stage is read from signal handlers");

// Long enough for any path; a longer one is cut and ends in "...".
char fileName[4096];
std::atomic<const char*> file{nullptr};

} // namespace

void setCurrentStage(const char* text) noexcept
{
    stage.store(text);
}

const char* currentStage() noexcept
{
    return stage.load();
}

CurrentFile::CurrentFile(const std::string& name) noexcept
{
    // Hidden while the buffer changes: a handler then names no file rather
    // than half of one.
    file.store(nullptr);
    const std::size_t room = sizeof fileName - 1;
    const std::size_t length = name.size() < room ? name.size() : room;
    std::memcpy(fileName, name.data(), length);
    fileName[length] = '\0';
    if (name.size() > room) {
        std::memcpy(fileName + room - 3, "...", 3);
    }
    file.store(fileName);
}

CurrentFile::~CurrentFile()
{
    file.store(nullptr);
}

const char* currentFile() noexcept
{
    return file.load();
}
