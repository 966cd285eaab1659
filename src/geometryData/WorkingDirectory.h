#pragma once

#include <string>

#include "vemra_exception.h"

// Every file the model writes lies below its working directory; an empty one
// would put them at the root of the file system.
inline void requireWorkingDirectory(const std::string& workingDirectory)
{
    if (workingDirectory.empty()) {
        throw vemra_exception("Working directory not set in GeometryData. Please report this to Vemra support!");
    }
}
