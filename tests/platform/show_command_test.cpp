// The launcher's show command, read from QUAVREL_SHOW_COMMAND on Linux.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/show_command.h"

namespace quavrel {
namespace {

TEST(ShowCommand, KnownWords)
{
    EXPECT_EQ(parseShowCommand("normal"), ShowCommand::Normal);
    EXPECT_EQ(parseShowCommand("maximized"), ShowCommand::Maximized);
    EXPECT_EQ(parseShowCommand("minimized"), ShowCommand::Minimized);
    EXPECT_EQ(parseShowCommand(" Minimized\n"), ShowCommand::Minimized);
}

// Anything a launcher could get wrong falls back to a normal window, never a hidden one.
TEST(ShowCommand, UnknownOrMissingIsNormal)
{
    EXPECT_EQ(parseShowCommand(nullptr), ShowCommand::Normal);
    EXPECT_EQ(parseShowCommand(""), ShowCommand::Normal);
    EXPECT_EQ(parseShowCommand("min"), ShowCommand::Normal);
    EXPECT_EQ(parseShowCommand("hidden"), ShowCommand::Normal);
}

TEST(ShowCommand, ReadsTheEnvironment)
{
    setenv("QUAVREL_SHOW_COMMAND", "maximized", 1);
    EXPECT_EQ(processShowCommand(), ShowCommand::Maximized);
    unsetenv("QUAVREL_SHOW_COMMAND");
    EXPECT_EQ(processShowCommand(), ShowCommand::Normal);
}

}  // namespace
}  // namespace quavrel
