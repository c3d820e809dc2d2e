#include "platform/atomic_file.h"

namespace quavrel {

void WriteFileAtomically(const std::string& path, const std::string& bytes)
{
    AtomicFile file(path);
    file.write(bytes.data(), bytes.size());
    file.commit();
}

}  // namespace quavrel
