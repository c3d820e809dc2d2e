#pragma once
// The main window's picture lists and button glyphs, drawn in code so the program ships
// no image files besides the splash. TfrmMain builds them once; the tray icon takes
// picture 4 of ImageList1.
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <vector>

namespace quavrel {

class ImageList {
public:
    ImageList(QSize size, std::vector<QPixmap> pictures);

    QSize size() const { return size_; }
    int count() const { return static_cast<int>(pictures_.size()); }
    // An empty pixmap / icon for an index outside the list.
    QPixmap picture(int index) const;
    QIcon icon(int index) const;

private:
    QSize size_;
    std::vector<QPixmap> pictures_;
};

// 32 x 32, five pictures: 0 search, 1 music library, 2 settings, 3 download arrow,
// 4 the program's icon (program_icon.h; the tray icon and the download tab).
ImageList makeImageList1();
// 16 x 16, ten pictures in pairs of normal and greyed: 0/1 up, 2/3 down, 4/5 delete,
// 6/7 save, 8/9 open.
ImageList makeImageList2();

// 16 x 16 pictures of the text buttons. QIcon derives the disabled state itself.
enum class Glyph { Search, NextPage, Clear, Hot, Play, Add, Recommend, Ok };
QIcon buttonGlyph(Glyph glyph);

}  // namespace quavrel
