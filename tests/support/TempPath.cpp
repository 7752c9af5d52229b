#include "support/TempPath.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <vector>

namespace testing_support {

namespace {

class ScratchFolder : public ::testing::Environment {
public:
    const std::string& Path()
    {
        if (m_path.empty()) {
            std::string pattern = ::testing::TempDir() + "zolt-XXXXXX";
            std::vector<char> buffer(pattern.begin(), pattern.end());
            buffer.push_back('\0');
            if (::mkdtemp(buffer.data())) m_path = std::string(buffer.data()) + "/";
        }
        return m_path;
    }
    void TearDown() override
    {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
        m_path.clear();
    }

private:
    std::string m_path;
};

// gtest owns and deletes the environment.
ScratchFolder* const g_scratch = static_cast<ScratchFolder*>(::testing::AddGlobalTestEnvironment(new ScratchFolder));

} // namespace

std::string TempPath(const std::string& name) { return g_scratch->Path() + name; }

} // namespace testing_support
