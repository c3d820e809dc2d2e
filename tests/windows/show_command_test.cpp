// The show command a process is started with, as a shortcut's "Run" setting gives it: the
// suite starts itself again with each show command and reads what the new process saw.
#include "platform/show_command.h"

#include <windows.h>

#include <cstring>

#include <gtest/gtest.h>

namespace quavrel {
namespace {

constexpr char kReportFlag[] = "--report-show-command";

// Starts this program again with `showWindow` (or none) and returns its exit code: the
// ShowCommand it read.
int startedWith(bool given, WORD showWindow)
{
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\" --report-show-command";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (given) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = showWindow;
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

TEST(ShowCommandWin, ReadsTheStartupInformation)
{
    EXPECT_EQ(startedWith(false, 0), static_cast<int>(ShowCommand::Normal));
    EXPECT_EQ(startedWith(true, SW_SHOWMAXIMIZED), static_cast<int>(ShowCommand::Maximized));
    EXPECT_EQ(startedWith(true, SW_SHOWMINNOACTIVE), static_cast<int>(ShowCommand::Minimized));
    EXPECT_EQ(startedWith(true, SW_SHOWMINIMIZED), static_cast<int>(ShowCommand::Minimized));
    EXPECT_EQ(startedWith(true, SW_SHOWNORMAL), static_cast<int>(ShowCommand::Normal));
}

// The launchers' textual form is understood on every system.
TEST(ShowCommandWin, TextualFormToo)
{
    EXPECT_EQ(parseShowCommand(" Maximized\n"), ShowCommand::Maximized);
    EXPECT_EQ(parseShowCommand("hidden"), ShowCommand::Normal);
}

}  // namespace
}  // namespace quavrel

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], quavrel::kReportFlag) == 0)
        return static_cast<int>(quavrel::processShowCommand());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
