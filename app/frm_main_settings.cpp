// The settings page (options and autostart) and the keyword history of cbxKeyword.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "app/application.h"
#include "app/frm_main.h"
#include "app/keyword_box.h"
#include "app/message_boxes.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "settings/keyword_history.h"
#include "settings/settings.h"

namespace quavrel {
namespace {

std::string keyListPath() { return ProgramDir() + "key.lst"; }

}  // namespace

void TfrmMain::setUpKeywordBox()
{
    if (keywordCompleter_)
        return;
    cbxKeyword->setInsertPolicy(QComboBox::NoInsert);  // Enter must not add to the history
    cbxKeyword->setCompleter(nullptr);
    keywordCompleter_ = new KeywordCompleter(cbxKeyword);
}

void TfrmMain::loadSettingsAtStart()
{
    setUpKeywordBox();
    SettingsFlags flags{CyclePlay, AutoLoadDefaultList, AutoStartLeftBottom, AutoStart};
    try {
        LoadSettings(flags);
    } catch (...) {
        // The options read before the failure keep their values.
        CyclePlay = flags.CyclePlay;
        AutoLoadDefaultList = flags.AutoLoadDefaultList;
        AutoStartLeftBottom = flags.AutoStartLeftBottom;
        if (std::string notice = TakeRegistryNotice(); !notice.empty())
            InfoPanel->setText(QString::fromStdString(gbkToUtf8(notice)));
        throw;
    }
    CyclePlay = flags.CyclePlay;
    AutoLoadDefaultList = flags.AutoLoadDefaultList;
    AutoStartLeftBottom = flags.AutoStartLeftBottom;
    AutoStart = flags.AutoStart;
    if (std::string notice = TakeRegistryNotice(); !notice.empty())
        InfoPanel->setText(QString::fromStdString(gbkToUtf8(notice)));

    // A change of the box runs its click handler, as a click would.
    chkAUTOSTART->setChecked(AutoStart);
    chkAUTOSTARTClick();
    if (!chkAUTOSTART->isChecked())
        chkAUTOSTARTLEFTBOTTOM->setEnabled(false);
    chkAUTOSTARTLEFTBOTTOM->setChecked(AutoStartLeftBottom);
    chkAUTOLOADDEFAULTLIST->setChecked(AutoLoadDefaultList);
    chkCYCLEPLAY->setChecked(CyclePlay);
}

void TfrmMain::chkAUTOSTARTClick()
{
    chkAUTOSTARTLEFTBOTTOM->setEnabled(chkAUTOSTART->isChecked());
}

void TfrmMain::RzBitBtn1Click()
{
    AutoStart = chkAUTOSTART->isChecked();
    AutoStartLeftBottom = chkAUTOSTARTLEFTBOTTOM->isChecked();
    AutoLoadDefaultList = chkAUTOLOADDEFAULTLIST->isChecked();
    CyclePlay = chkCYCLEPLAY->isChecked();
    try {
        SaveSettings(SettingsFlags{CyclePlay, AutoLoadDefaultList, AutoStartLeftBottom, AutoStart});
    } catch (...) {
        reportCurrentException(this);
        return;
    }
    showSimpleMessage(this, QStringLiteral("设置保存完成！"));
}

void TfrmMain::loadKeywordHistoryAtStart()
{
    setKeywordItems(cbxKeyword, LoadKeywordHistory(keyListPath()));
}

void TfrmMain::saveKeywordHistoryAtClose()
{
    SaveKeywordHistory(keyListPath(), keywordItems(cbxKeyword));
}

void TfrmMain::RememberKeyword(const std::string& trimmedKeyword)
{
    if (trimmedKeyword.empty())
        return;
    KeywordList entries = keywordItems(cbxKeyword);
    const int from = quavrel::RememberKeyword(entries, trimmedKeyword);
    if (from > 0) {
        cbxKeyword->removeItem(from);
        insertKeywordItem(cbxKeyword, 0, entries.front());
    } else if (from < 0) {
        insertKeywordItem(cbxKeyword, 0, trimmedKeyword);
    }
}

}  // namespace quavrel
