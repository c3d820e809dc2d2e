#pragma once
// The program's icon, a white quaver on an orange disc: one drawing for every place the
// program shows itself. The tray icon (picture 4 of ImageList1) and the window take it at
// run time, and tools/icon-art draws the installed hicolor icons from it at build time, so
// the menu entry, the window and the tray always show the same picture. Needs Qt Gui only.
#include <QIcon>
#include <QImage>

namespace quavrel {

// The icon drawn at `pixels` x `pixels`, transparent around the disc.
QImage programIconImage(int pixels);

// The icon at any size a desktop asks for, drawn when asked.
QIcon programIcon();

// The square sizes installed into the hicolor theme.
inline constexpr int kProgramIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

}  // namespace quavrel
