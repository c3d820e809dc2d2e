#pragma once
// Replaces a file in one step: the bytes go to a temporary file in the same folder, are
// flushed to disk, and the temporary file is renamed over the target. A failure or a crash
// at any moment leaves either the old or the new complete file, never a partial one.
#include <string>

namespace quavrel {

// Throws EFCreateError "Cannot create file \"PATH\". REASON" when the temporary file
// cannot be made, EWriteError "Stream write error" when the bytes cannot all be written
// (the old file is then untouched).
void WriteFileAtomically(const std::string& path, const std::string& bytes);

// The system's text for an errno value, such as "Permission denied".
std::string SystemErrorText(int error);

// A file error as the user reads it: PREFIX "PATH". REASON, for example
// Cannot create file "/x/a.mp3". Permission denied. The path is turned from the file
// system's encoding into GBK text like every other message.
std::string FileErrorText(const std::string& prefix, const std::string& path, int error);

}  // namespace quavrel
