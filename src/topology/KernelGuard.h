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

// The failure's kind, and its message when it has one (many have none):
// "<kind>: <message>" or "<kind>".
inline std::string kernelFailureText(const Standard_Failure& failure)
{
    const std::string message = failure.GetMessageString();
    const std::string kind = failure.DynamicType()->Name();
    return message.empty() ? kind : kind + ": " + message;
}

// The one form of a kernel failure as the system's exception:
// "<step>: CAD kernel failure: <kind>: <message>", the kind alone when the
// failure has no message.
inline vemra_exception kernelFailure(const std::string& step, const Standard_Failure& failure)
{
    return vemra_exception(step + ": CAD kernel failure: " + kernelFailureText(failure));
}

// Kernel failures are not std::exceptions and would end the process
// unreported: runs `body` and raises any kernel failure as kernelFailure(step).
// The step's text (a literal or a std::string) is only copied on a failure.
template <typename Step, typename Body>
auto guardKernel(const Step& step, Body&& body) -> decltype(body())
{
    try {
        return std::forward<Body>(body)();
    } catch (const Standard_Failure& failure) {
        throw kernelFailure(step, failure);
    }
}
