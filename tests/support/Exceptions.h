#pragma once

#include <string>

#include <gtest/gtest.h>

#include "vemra_exception.h"

// The message of the system's exception raised by the call, or "<no exception>".
template <typename Call>
std::string thrownMessage(Call&& call)
{
    try {
        call();
    } catch (const vemra_exception& error) {
        return error.what();
    }
    return "<no exception>";
}

// Fails unless the call raises the system's exception with exactly this message.
template <typename Call>
void expectMessage(Call&& call, const std::string& message)
{
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const vemra_exception& error) {
        EXPECT_EQ(std::string(error.what()), message);
    }
}
