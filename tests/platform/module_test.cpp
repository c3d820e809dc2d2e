#include "platform/module.h"

#include <dlfcn.h>

#include <cstring>

#include <gtest/gtest.h>

#include "platform/exception.h"

using namespace quavrel;

namespace {

// A library that every process here has loaded: the C library, found by its own symbol.
std::string cLibraryPath()
{
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&::strlen), &info);
    return info.dli_fname ? info.dli_fname : "";
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

}  // namespace

// The place of last resort is used when the program's own folders have no such module.
TEST(Module, FallsBackToTheBuildTreePath)
{
    ASSERT_FALSE(cLibraryPath().empty());
    EXPECT_EQ(LoadModuleSymbol("no-such-module.so", "strlen", cLibraryPath()), dlsym(RTLD_DEFAULT, "strlen"));
}

TEST(Module, MissingModuleOrSymbolIsAnErrorNamingIt)
{
    EXPECT_NE(failureOf("no-such-module.so", "strlen", "").find("no-such-module.so"), std::string::npos);
    EXPECT_NE(failureOf("no-such-module.so", "no_such_symbol", cLibraryPath()).find("no_such_symbol"),
              std::string::npos);
}
