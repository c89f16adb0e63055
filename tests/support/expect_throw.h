#pragma once

#include <gtest/gtest.h>

#include <string>

// Expects `statement` to throw an exception of `type` whose what() is exactly `message`.
#define EXPECT_THROW_MSG(statement, type, message)                                   \
  do {                                                                               \
    bool brindle_thrown_ = false;                                                    \
    try {                                                                            \
      statement;                                                                     \
    } catch (const type& brindle_error_) {                                           \
      brindle_thrown_ = true;                                                        \
      EXPECT_EQ(std::string(brindle_error_.what()), std::string(message));           \
    } catch (...) {                                                                  \
      brindle_thrown_ = true;                                                        \
      ADD_FAILURE() << #statement " threw an exception of another type than " #type; \
    }                                                                                \
    if (!brindle_thrown_) ADD_FAILURE() << #statement " threw nothing";              \
  } while (false)
