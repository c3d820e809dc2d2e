#include "app/keyword_box.h"

#include <QComboBox>
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
}

void KeywordCompleter::textEdited(const QString& text)
{
    QLineEdit* edit = box_->lineEdit();
    const bool typedOn = text.size() > typed_.size() && edit->cursorPosition() == text.size();
    typed_ = text;
    if (!typedOn)
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
