#pragma once

#include <string>

// What the run is doing, in words that complete "while ..." ("finalising the
// model"). The driver and the pipeline set it at each phase; the fatal-signal
// handler reads it to say where the run stopped. Only text that lives for the
// whole run (string literals) may be set.
void setCurrentStage(const char* stage) noexcept;

// Safe to call from a signal handler.
const char* currentStage() noexcept;

// Names the file a stage is reading for as long as it lives, so that a fault
// inside the kernel's reader says which file it met. The name is copied into a
// fixed buffer here, since the handler may not allocate. One file at a time:
// the readers run one after the other.
class CurrentFile {
public:
    explicit CurrentFile(const std::string& name) noexcept;
    ~CurrentFile();
    CurrentFile(const CurrentFile&) = delete;
    CurrentFile& operator=(const CurrentFile&) = delete;
};

// The file being read, or null when none is. Safe to call from a signal handler.
const char* currentFile() noexcept;
