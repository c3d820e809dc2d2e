#include "app/message_boxes.h"

#include <QMessageBox>
#include <QPushButton>

#include "app/application.h"
#include "app/gbk_qstring.h"

namespace quavrel {
namespace {

// Chinese button texts, whatever translations are installed.
void setChineseButtonTexts(QMessageBox& box)
{
    if (QAbstractButton* ok = box.button(QMessageBox::Ok))
        ok->setText(QStringLiteral("确定"));
    if (QAbstractButton* cancel = box.button(QMessageBox::Cancel))
        cancel->setText(QStringLiteral("取消"));
}

}  // namespace

QString errorBoxText(const std::string& gbkMessage)
{
    std::string text = gbkMessage;
    // GBK trail bytes are all above '.', so the last byte decides for the last character.
    if (text.empty() || static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return fromGbk(text);
}

void showErrorBox(QWidget* parent, const std::string& gbkMessage)
{
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kProductName),
                    errorBoxText(gbkMessage), QMessageBox::Ok, parent);
    setChineseButtonTexts(box);
    box.exec();
}

void showSimpleMessage(QWidget* /*parent*/, const QString& text)
{
    // No parent: the dialog centres itself on the screen rather than on a window.
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kProductName), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    setChineseButtonTexts(box);
    box.exec();
}

bool confirmBox(QWidget* owner, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("注意"), text,
                    QMessageBox::Ok | QMessageBox::Cancel, owner);
    box.setDefaultButton(QMessageBox::Ok);
    setChineseButtonTexts(box);
    return box.exec() == QMessageBox::Ok;
}

}  // namespace quavrel
