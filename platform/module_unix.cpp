#include "platform/module.h"

#include <dlfcn.h>

#include <filesystem>
#include <vector>

#include "platform/exception.h"
#include "platform/paths.h"

namespace quavrel {

void* LoadModuleSymbol(const std::string& fileName, const char* symbol, const std::string& buildTreePath)
{
    namespace fs = std::filesystem;
    const fs::path programFolder = fs::path(ExecutablePath()).parent_path();
    std::vector<fs::path> places{programFolder / fileName, programFolder / ".." / "lib" / "quavrel" / fileName};
    if (!buildTreePath.empty())
        places.emplace_back(buildTreePath);
    std::string reason = "not found";
    for (const fs::path& place : places) {
        std::error_code ec;
        if (!fs::is_regular_file(place, ec))
            continue;
        void* module = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            reason = dlerror();
            continue;
        }
        if (void* address = dlsym(module, symbol))
            return address;
        reason = place.string() + " has no " + symbol;
    }
    throw Exception("Cannot load " + fileName + ": " + reason);
}

}  // namespace quavrel
