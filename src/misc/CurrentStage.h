#pragma once

// What the run is doing, in words that complete "while ..." ("finalising the
// model"). The driver and the pipeline set it at each phase; the fatal-signal
// handler reads it to say where the run stopped. Only text that lives for the
// whole run (string literals) may be set.
void setCurrentStage(const char* stage) noexcept;

// Safe to call from a signal handler.
const char* currentStage() noexcept;
