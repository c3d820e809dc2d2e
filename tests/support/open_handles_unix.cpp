#include "tests/support/open_handles.h"

#include <filesystem>

namespace quavrel::test {

int OpenHandleCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

}  // namespace quavrel::test
