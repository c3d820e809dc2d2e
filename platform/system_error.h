#pragma once
// The system's error numbers as the user reads them. An error number is errno on Unix and
// the thread's last-error code (GetLastError) on Windows; only platform/ makes them.
#include <string>

namespace quavrel {

// The error number of the system call that just failed on this thread.
int LastSystemError();

// The system's text for an error number, such as "Permission denied", as GBK text.
std::string SystemErrorText(int error);

// A file error as the user reads it: PREFIX "PATH". REASON, for example
// Cannot create file "/x/a.mp3". Permission denied. The path is turned from the file
// system's encoding (UTF-8) into GBK text like every other message.
std::string FileErrorText(const std::string& prefix, const std::string& path, int error);

// Throws EFCreateError "Cannot create file \"PATH\". REASON": every save's failure to
// create or replace its target.
[[noreturn]] void ThrowCreateError(const std::string& path, int error);

}  // namespace quavrel
