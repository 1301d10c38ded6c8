#pragma once

// EXPECT_THROW_MSG(statement, ExceptionType, "message"): the statement throws that type with exactly
// that message (gtest's EXPECT_THROW checks the type only).

#include <gtest/gtest.h>

#include <string>

#define EXPECT_THROW_MSG(statement, exception_type, expected_message)         \
    do {                                                                      \
        bool thrown_ = false;                                                 \
        try {                                                                 \
            statement;                                                        \
        } catch (const exception_type& e_) {                                  \
            thrown_ = true;                                                   \
            EXPECT_EQ(std::string(e_.what()), std::string(expected_message)); \
        }                                                                     \
        EXPECT_TRUE(thrown_) << #statement " threw no " #exception_type;      \
    } while (false)
