// Gives the test process its own data directory before anything runs: the
// library managers fetch the directory once, when first used.
#include "TestEnvironment.h"

#include <cstdlib>
#include <filesystem>

#include "TestUtil.h"
#include "platform/ZkHost.h"

namespace {

class TestHost : public IZkHostApplication {
public:
    CString GetProductDataDirectory() const override { return m_dir.lib().c_str(); }
    const zktest::TempDir& Dir() const { return m_dir; }

private:
    zktest::TempDir m_dir;
};

TestHost& Host()
{
    static TestHost host;
    return host;
}

const bool g_registered = [] {
    ZkSetHostApplication(&Host());
    return true;
}();

}  // namespace

namespace zktest {

std::wstring DataDirectory()
{
    return Host().Dir().lib();
}

std::filesystem::path NativeDataDirectory()
{
    return Host().Dir().path();
}

void ResetDataDirectory()
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(Host().Dir().path(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

}  // namespace zktest
