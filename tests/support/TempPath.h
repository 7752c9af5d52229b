// A file in the test's scratch folder, unique to this process: the tests
// run as separate processes at once and must not share a file.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace testing_support {

inline std::string TempPath(const std::string& name) { return ::testing::TempDir() + std::to_string(::getpid()) + "-" + name; }

} // namespace testing_support
