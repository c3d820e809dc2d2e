#include "app/keyword_box.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>

#include "app/gbk_qstring.h"

namespace quavrel {
namespace {

constexpr int kGbkRole = Qt::UserRole + 1;

}  // namespace

KeywordList keywordItems(const QComboBox* box)
{
    KeywordList entries;
    for (int i = 0; i < box->count(); ++i) {
        QVariant data = box->itemData(i, kGbkRole);
        entries.push_back(data.isValid() ? data.toByteArray().toStdString()
                                         : toGbk(box->itemText(i)));
    }
    return entries;
}

void insertKeywordItem(QComboBox* box, int index, const std::string& entry)
{
    box->insertItem(index, fromGbk(entry));
    box->setItemData(index, QByteArray::fromStdString(entry), kGbkRole);
}

void setKeywordItems(QComboBox* box, const KeywordList& entries)
{
    const QString text = box->currentText();
    box->clear();
    for (const std::string& entry : entries)
        insertKeywordItem(box, box->count(), entry);
    box->setEditText(text);
}

KeywordCompleter::KeywordCompleter(QComboBox* box) : QObject(box), box_(box)
{
    connect(box->lineEdit(), &QLineEdit::textEdited, this, &KeywordCompleter::textEdited);
    // The box hands its keys to the line edit directly, past the edit's filters.
    box->installEventFilter(this);
    box->lineEdit()->installEventFilter(this);
}

// Every edit by the user comes with one of these events (a key, an input method's text,
// a paste by mouse or from the edit's menu), so the state seen here is the state just
// before the edit.
bool KeywordCompleter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::ContextMenu:
    case QEvent::Drop:
        lengthBefore_ = box_->lineEdit()->text().size();
        selectedBefore_ = box_->lineEdit()->selectedText().size();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void KeywordCompleter::textEdited(const QString& text)
{
    QLineEdit* edit = box_->lineEdit();
    const bool inserted = text.size() > lengthBefore_ - selectedBefore_;
    if (!inserted || edit->cursorPosition() != text.size())
        return;
    const std::string gbk = utf8ToGbk(text.toStdString());
    if (fromGbk(gbk) != text)
        return;  // a character GBK cannot hold never begins an entry
    const int index = CompleteKeyword(keywordItems(box_), gbk);
    if (index < 0)
        return;
    const QString entry = box_->itemText(index);
    if (entry.size() < text.size())
        return;
    edit->setText(entry);
    edit->setSelection(entry.size(), text.size() - entry.size());
}

}  // namespace quavrel
