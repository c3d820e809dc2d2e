// Modules loaded when first needed, on Windows: by LoadLibraryW, with errors that name the
// module and the reason.
#include "platform/module.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/exception.h"
#include "tests/support/temp_dir.h"

namespace quavrel {
namespace {

std::string systemLibrary(const char* name)
{
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder, length) + "\\" + name;
}

std::string failureOf(const std::string& fileName, const char* symbol, const std::string& buildTreePath)
{
    try {
        LoadModuleSymbol(fileName, symbol, buildTreePath);
    } catch (const Exception& e) {
        return e.message();
    }
    return "";
}

TEST(ModuleWin, FallsBackToTheBuildTreePath)
{
    const void* expected = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount"));
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(LoadModuleSymbol("no-such-module.dll", "GetTickCount", systemLibrary("kernel32.dll")), expected);
}

TEST(ModuleWin, MissingModuleSymbolOrBrokenFileIsAnErrorNamingIt)
{
    EXPECT_NE(failureOf("no-such-module.dll", "GetTickCount", "").find("no-such-module.dll"), std::string::npos);
    EXPECT_NE(failureOf("no-such-module.dll", "no_such_symbol", systemLibrary("kernel32.dll")).find("no_such_symbol"),
              std::string::npos);
    test::TempDir dir;
    test::writeFile(dir.file("broken.dll"), "not a module");
    const std::string failure = failureOf("no-such-module.dll", "f", dir.file("broken.dll"));
    EXPECT_EQ(failure.rfind("Cannot load no-such-module.dll: ", 0), 0u) << failure;
    EXPECT_GT(failure.size(), std::string("Cannot load no-such-module.dll: ").size());
}

}  // namespace
}  // namespace quavrel
