#pragma once

// Ends the run on a fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT),
// which no check of the stage caught, the way the driver ends it on an error:
// a dump and its line ("Crash dump written to: <path>" or "Cannot write
// dump"), then "Exception  " with the signal, what the stage was doing and
// the file it was reading if any ("... while reading the CAD files (file
// part.igs)", misc/CurrentStage.h), then exit code 1. The handler runs on an
// alternate stack, so a stack overflow of the installing thread reaches it too, and
// makes async-signal-safe calls only. The dump's directory is the one TEMP
// names at installation. Returns false when a handler could not be installed.
bool installFatalSignalHandlers() noexcept;
