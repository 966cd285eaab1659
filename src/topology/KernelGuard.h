#pragma once

#include <string>
#include <utility>

#include <Standard_Failure.hxx>
#include <Standard_Type.hxx>
#include <TopoDS_Shape.hxx>

#include "vemra_exception.h"

// Kernel-failure helpers shared by the system's sources (not part of the
// shape algorithm interface).

// Raises "<function>: null shape" for a null shape.
inline void requireShape(const TopoDS_Shape& shape, const char* function)
{
    if (shape.IsNull()) {
        throw vemra_exception(std::string(function) + ": null shape");
    }
}

// The failure's kind, and its message when it has one (many have none).
inline std::string kernelFailureText(const Standard_Failure& failure)
{
    const std::string message = failure.GetMessageString();
    const std::string kind = failure.DynamicType()->Name();
    return message.empty() ? kind : kind + ": " + message;
}

// Kernel failures are not std::exceptions and would end the process
// unreported: turn them into the system's exception, naming the function.
template <typename Body>
auto guardKernel(const char* function, Body&& body) -> decltype(body())
{
    try {
        return std::forward<Body>(body)();
    } catch (const Standard_Failure& failure) {
        throw vemra_exception(std::string(function) + ": " + kernelFailureText(failure));
    }
}

// A kernel failure during one of the model's steps: "<step>: CAD kernel failure: <message>",
// the failure's kind standing in for a message it lacks.
inline vemra_exception kernelFailure(const std::string& step, const Standard_Failure& failure)
{
    const std::string message = failure.GetMessageString();
    return vemra_exception(step + ": CAD kernel failure: " +
                           (message.empty() ? std::string(failure.DynamicType()->Name()) : message));
}
