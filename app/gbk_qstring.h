#pragma once
// Widgets take Unicode; the program's own text is GBK bytes. Every conversion between the
// two in the window goes through this pair.
#include <QString>
#include <string>

#include "platform/codepage.h"

namespace quavrel {

// GBK bytes as a widget shows them.
inline QString fromGbk(const std::string& gbk) { return QString::fromStdString(gbkToUtf8(gbk)); }
// A widget's text as GBK bytes; characters GBK cannot hold become "?".
inline std::string toGbk(const QString& text) { return utf8ToGbk(text.toStdString()); }

}  // namespace quavrel
