// quavrel-icon-art DIR: draws the program's icon (app/program_icon.h) at every installed
// size as DIR/hicolor/<N>x<N>/apps/quavrel.png, the layout of the hicolor icon theme. The
// same drawing is the tray icon, so the menu entry and the tray show the same picture.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

#include "app/program_icon.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quavrel-icon-art DIR\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int pixels : quavrel::kProgramIconSizes) {
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(pixels);
        if (!QDir().mkpath(folder) || !quavrel::programIconImage(pixels).save(folder + "/quavrel.png")) {
            std::fprintf(stderr, "quavrel-icon-art: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
