#pragma once
// How the process was asked to show its main window. main() reads it once, after start-up
// work, to show the window normally, maximised or minimised. The program reads no
// command-line argument for this: on Windows it is the show command of the process start-up
// information; on Linux a launcher sets QUAVREL_SHOW_COMMAND (normal | maximized | minimized).

namespace quavrel {

enum class ShowCommand { Normal, Maximized, Minimized };

// The show command given to this process.
ShowCommand processShowCommand();

// The textual form of Linux launchers: "maximized" / "minimized" (any case, surrounding
// blanks ignored), anything else, a missing value included, is Normal.
ShowCommand parseShowCommand(const char* text);

}  // namespace quavrel
