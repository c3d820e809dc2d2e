#include "tools/catalog/log.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>

namespace quavrel::catalog {
namespace {

std::mutex& logMutex()
{
    static std::mutex mutex;
    return mutex;
}

}  // namespace

void Log(const std::string& line)
{
    const std::string text = "quavrel-catalog: " + line + "\n";
    std::lock_guard lock(logMutex());
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void LogRarely(const std::string& key, const std::string& line, int seconds)
{
    using Clock = std::chrono::steady_clock;
    static std::mutex mutex;
    static std::map<std::string, Clock::time_point> last;
    {
        std::lock_guard lock(mutex);
        const Clock::time_point now = Clock::now();
        auto it = last.find(key);
        if (it != last.end() && now - it->second < std::chrono::seconds(seconds))
            return;
        if (last.size() > 1000)
            last.clear();
        last[key] = now;
    }
    Log(line);
}

}  // namespace quavrel::catalog
