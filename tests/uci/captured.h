#pragma once
// Standard output captured around a call.

#include <gtest/gtest.h>
#include <string>

namespace tarvo::test {

// What `run` writes to standard output.
template <typename Run> std::string Output(Run&& run) {
    ::testing::internal::CaptureStdout();
    run();
    return ::testing::internal::GetCapturedStdout();
}

} // namespace tarvo::test
