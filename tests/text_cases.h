#pragma once
// Table-driven checks of functions from text to text.

#include <gtest/gtest.h>

#include <initializer_list>

#include "platform/text.h"

namespace qf::testing_support {

struct TextCase {
    TextView input;
    TextView expected;
};

template <class Function>
void ExpectEach(const Function& function, std::initializer_list<TextCase> cases) {
    for (const TextCase& c : cases) {
        EXPECT_EQ(function(c.input), c.expected) << "input: " << TextToUtf8(c.input);
    }
}

}  // namespace qf::testing_support
