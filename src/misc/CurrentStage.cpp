#include "misc/CurrentStage.h"

#include <atomic>

namespace {

std::atomic<const char*> stage{"starting the run"};
static_assert(std::atomic<const char*>::is_always_lock_free, "the stage is read from signal handlers");

} // namespace

void setCurrentStage(const char* text) noexcept
{
    stage.store(text);
}

const char* currentStage() noexcept
{
    return stage.load();
}
