#pragma once
// The program's three kinds of message box.
#include <QString>
#include <string>

class QWidget;

namespace quavrel {

class Exception;

// The standard error box's text: the message with a full stop appended unless it already
// ends in a full stop or a character that sorts below it.
QString errorBoxText(const std::string& gbkMessage);
// The standard error box: caption "Quavrel", error icon, OK. Modal.
void showErrorBox(QWidget* parent, const std::string& gbkMessage);
// The simple message dialog: centred on the screen, caption "Quavrel", the text, one OK
// button, no icon. Modal.
void showSimpleMessage(QWidget* parent, const QString& text);
// A confirmation owned by `owner`: caption "注意", OK and Cancel, no icon, OK default.
// True when the user chose OK.
bool confirmBox(QWidget* owner, const QString& text);

}  // namespace quavrel
