#pragma once
// The service's messages: one line each on standard error, "quavrel-catalog: ...", whole
// lines even when several threads write at once (the journal adds the time).
#include <string>

namespace quavrel::catalog {

void Log(const std::string& line);
// The same, but a message with the same `key` is written at most once in `seconds`, so a
// flood of connections cannot flood the log.
void LogRarely(const std::string& key, const std::string& line, int seconds = 10);

}  // namespace quavrel::catalog
