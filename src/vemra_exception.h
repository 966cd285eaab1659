#pragma once

#include <stdexcept>
#include <string>

#include <easylogging++.h>

// The system's one exception type. Constructing it is the error report:
// the message is logged at error level before the throw proceeds.
// (The crash-dump part of the report is added by the dump writer.)
class vemra_exception : public std::domain_error {
public:
    explicit vemra_exception(const std::string& message) : std::domain_error(message)
    {
        LOG(ERROR) << message;
    }
};
