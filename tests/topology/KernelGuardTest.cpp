#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <Standard_ConstructionError.hxx>
#include <Standard_DomainError.hxx>
#include <Standard_NullObject.hxx>

#include "support/Exceptions.h"
#include "topology/KernelGuard.h"

namespace {

// One form for every kernel failure: "<step>: CAD kernel failure: <kind>: <message>",
// the kind alone when the failure has no message.
TEST(KernelGuard, KernelFailuresTakeOneForm)
{
    struct Case {
        const char* what;
        std::function<void()> raise;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"with a message", [] { throw Standard_DomainError("BRep_Builder::Infinite parameter"); },
         "Adding air: CAD kernel failure: Standard_DomainError: BRep_Builder::Infinite parameter"},
        {"without a message", [] { throw Standard_ConstructionError(); },
         "Adding air: CAD kernel failure: Standard_ConstructionError"},
        {"empty message", [] { throw Standard_NullObject(""); }, "Adding air: CAD kernel failure: Standard_NullObject"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectMessage([&] { guardKernel("Adding air", c.raise); }, c.message);
        // The step built at run time, and the failure turned by hand, read alike.
        expectMessage([&] { guardKernel(std::string("Adding ") + "air", c.raise); }, c.message);
        try {
            c.raise();
        } catch (const Standard_Failure& failure) {
            EXPECT_EQ(std::string(kernelFailure("Adding air", failure).what()), c.message);
        }
    }
}

TEST(KernelGuard, PassesResultsAndOtherErrorsUnchanged)
{
    EXPECT_EQ(guardKernel("step", [] { return 42; }), 42);
    EXPECT_THROW(guardKernel("step", []() -> int { throw std::out_of_range("index"); }), std::out_of_range);
}

} // namespace
