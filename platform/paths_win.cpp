#include "platform/paths.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/codepage.h"
#include "platform/environment.h"
#include "platform/wide_text_win.h"

namespace quavrel {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// %APPDATA%: the roaming application data of the user, the folder Windows programs keep
// their own files in.
std::string applicationData()
{
    wchar_t* folder = nullptr;
    std::string path;
    if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &folder) == S_OK)
        path = FromWide(folder);
    CoTaskMemFree(folder);
    if (path.empty())
        path = EnvironmentValue("APPDATA").value_or("");
    return path;
}

}  // namespace

std::string ProgramDir()
{
    const std::string data = applicationData();
    const std::string dir = (data.empty() ? FolderOf(ExecutablePath()) : data) + "\\quavrel";
    MakeDirs(dir);
    return dir + "\\";
}

std::string FolderOf(const std::string& path)
{
    size_t separator = path.size();
    while (separator > 0 && !isSeparator(path[separator - 1]))
        --separator;
    if (separator == 0)
        return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
    const std::string folder = path.substr(0, separator - 1);
    // "C:" alone is the current folder of drive C; the root keeps its separator.
    if (folder.empty() || (folder.size() == 2 && folder[1] == ':'))
        return path.substr(0, separator);
    return folder;
}

void MakeDirs(const std::string& path)
{
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || isSeparator(path[i]))
            CreateDirectoryW(Wide(path.substr(0, i)).c_str(), nullptr);
    }
}

std::string ExecutablePath()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return FromWide(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::string ExecutablePathForRegistry() { return utf8ToGbk(ExecutablePath()); }

}  // namespace quavrel
