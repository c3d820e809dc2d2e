#include "player/media_engine.h"

#include "platform/module.h"

namespace quavrel {

std::unique_ptr<MediaEngine> createMediaEngine()
{
    using Create = MediaEngine* (*)();
#ifdef QUAVREL_MEDIA_MODULE
    const std::string buildTreePath = QUAVREL_MEDIA_MODULE;
#else
    const std::string buildTreePath;
#endif
    static const auto create = reinterpret_cast<Create>(
        LoadModuleSymbol("quavrel-media.so", "quavrelCreateMediaEngine", buildTreePath));
    return std::unique_ptr<MediaEngine>(create());
}

}  // namespace quavrel
