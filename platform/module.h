#pragma once
// Parts of the program that live in modules of their own and are loaded when first needed
// (the portal's web view, the player's media engine), so that their libraries stay out of
// the start of the program.
#include <string>

namespace quavrel {

// The address of `symbol` in the module `fileName` (such as "quavrel-portal.so"), looked for
// beside the program, then in lib/quavrel/ next to the program's folder (the installed
// layout), then at `buildTreePath` when one is given (the module of the build tree, for the
// tests). The module stays loaded for the rest of the run. Throws Exception naming the
// module and the reason when it cannot be loaded.
void* LoadModuleSymbol(const std::string& fileName, const char* symbol, const std::string& buildTreePath = {});

}  // namespace quavrel
