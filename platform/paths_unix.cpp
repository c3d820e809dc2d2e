#include "platform/paths.h"
#include "platform/xdg_folders_unix.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace quavrel {
namespace {

std::string homeDir()
{
    const char* home = std::getenv("HOME");
    return home && *home ? home : "/tmp";
}

std::string xdgDir(const char* variable, const char* fallbackUnderHome)
{
    const char* value = std::getenv(variable);
    if (value && *value == '/')
        return value;
    return homeDir() + fallbackUnderHome;
}

}  // namespace

std::string ProgramDir()
{
    std::string dir = xdgDir("XDG_DATA_HOME", "/.local/share") + "/quavrel/";
    MakeDirs(dir.substr(0, dir.size() - 1));
    return dir;
}

std::string XdgConfigHome() { return xdgDir("XDG_CONFIG_HOME", "/.config"); }

std::string ConfigDir() { return XdgConfigHome() + "/quavrel/"; }

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

void MakeDirs(const std::string& path)
{
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/')
            ::mkdir(path.substr(0, i).c_str(), 0700);
    }
}

std::string ExecutablePath()
{
    std::vector<char> buffer(4096);
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return {};
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string ExecutablePathForRegistry() { return ExecutablePath(); }

}  // namespace quavrel
