#pragma once
// The keyword box's list as the keyword history: each item carries its entry's GBK
// bytes (the shown text is their conversion), and typed text is completed from the list.
// The main window's settings code sets it up and reads and changes the list through it.
#include <QObject>
#include <QString>

#include "settings/keyword_history.h"

class QComboBox;

namespace quavrel {

// The entries of the box, in list order, as GBK bytes.
KeywordList keywordItems(const QComboBox* box);
// Replaces the list (the edit text is left alone).
void setKeywordItems(QComboBox* box, const KeywordList& entries);
// Adds an item for `entry` at `index`.
void insertKeywordItem(QComboBox* box, int index, const std::string& entry);

// Completes typed text with the first entry, in list order, that begins with it apart
// from letter case; the completed part is selected so that typing on replaces it.
// Deleting or editing in the middle completes nothing. Child of the box.
class KeywordCompleter : public QObject {
    Q_OBJECT
public:
    explicit KeywordCompleter(QComboBox* box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void textEdited(const QString& text);

    QComboBox* box_;
    // The edit's text and selected length just before the event that changes it: an
    // edit that leaves more than the unselected rest inserted something.
    qsizetype lengthBefore_ = 0;
    qsizetype selectedBefore_ = 0;
};

}  // namespace quavrel
