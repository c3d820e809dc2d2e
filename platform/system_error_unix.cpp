#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace quavrel {

int LastSystemError() { return errno; }

// The C library's texts are ASCII, which GBK holds as it is.
std::string SystemErrorText(int error) { return std::strerror(error); }

}  // namespace quavrel
