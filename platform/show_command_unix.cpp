#include "platform/show_command.h"

#include <cstdlib>

namespace quavrel {

ShowCommand processShowCommand()
{
    return parseShowCommand(std::getenv("QUAVREL_SHOW_COMMAND"));
}

}  // namespace quavrel
