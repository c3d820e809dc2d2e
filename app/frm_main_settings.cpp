// The settings page (options and autostart) and the keyword history of cbxKeyword.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "app/application.h"
#include "app/frm_main.h"
#include "app/gbk_qstring.h"
#include "app/keyword_box.h"
#include "app/message_boxes.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "settings/keyword_history.h"
#include "settings/settings.h"

namespace quavrel {
namespace {

std::string keyListPath() { return ProgramDir() + "key.lst"; }

// A settings file that could not be read is set aside; the status pane says so.
void showRegistryNotice(QLabel* infoPanel)
{
    if (std::string notice = TakeRegistryNotice(); !notice.empty())
        infoPanel->setText(fromGbk(notice));
}

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
    try {
        // A failure keeps the options read before it.
        LoadSettings(settingsFlags);
    } catch (...) {
        showRegistryNotice(InfoPanel);
        throw;
    }
    showRegistryNotice(InfoPanel);

    // A change of the box runs its click handler, as a click would.
    chkAUTOSTART->setChecked(settingsFlags.AutoStart);
    chkAUTOSTARTClick();
    if (!chkAUTOSTART->isChecked())
        chkAUTOSTARTLEFTBOTTOM->setEnabled(false);
    chkAUTOSTARTLEFTBOTTOM->setChecked(settingsFlags.AutoStartLeftBottom);
    chkAUTOLOADDEFAULTLIST->setChecked(settingsFlags.AutoLoadDefaultList);
    chkCYCLEPLAY->setChecked(settingsFlags.CyclePlay);
}

void TfrmMain::chkAUTOSTARTClick()
{
    chkAUTOSTARTLEFTBOTTOM->setEnabled(chkAUTOSTART->isChecked());
}

void TfrmMain::RzBitBtn1Click()
{
    settingsFlags.AutoStart = chkAUTOSTART->isChecked();
    settingsFlags.AutoStartLeftBottom = chkAUTOSTARTLEFTBOTTOM->isChecked();
    settingsFlags.AutoLoadDefaultList = chkAUTOLOADDEFAULTLIST->isChecked();
    settingsFlags.CyclePlay = chkCYCLEPLAY->isChecked();
    try {
        SaveSettings(settingsFlags);
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
