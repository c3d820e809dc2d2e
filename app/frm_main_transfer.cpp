// Recommendation and download of the selected search result.
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QLabel>
#include <QTreeWidget>

#include "app/frm_main.h"
#include "app/gbk_qstring.h"
#include "app/list_selection.h"
#include "app/message_boxes.h"
#include "songs/download.h"
#include "songs/recommend.h"
#include "platform/ui_thread.h"

namespace quavrel {

namespace {

// Kilobytes as shown in the status pane.
QString kilobytes(int64_t bytes) { return QString::number(bytes / 1024); }

}  // namespace

void TfrmMain::N4Click()
{
    const MediaPtr media = mediaOf(firstSelected(lvSearchResult));
    if (!media)
        return;
    if (!confirmBox(this, QStringLiteral("确定要推荐此歌曲吗？")))
        return;
    const TMedia song = *media;   // the request reads its own copy
    const bool sent = SendRecommendation(song);
    if (uiClosing())
        return;
    // The thanks would report a failed request as a success: say what happened instead.
    showSimpleMessage(this, sent ? QStringLiteral("推荐成功，谢谢！")
                                 : QStringLiteral("推荐失败，请检查网络后再试。"));
}

void TfrmMain::nDownloadClick()
{
    const MediaPtr media = mediaOf(firstSelected(lvSearchResult));
    if (!media)
        return;
    const std::string url = media->Url;
    const std::string suggested = SuggestedFileName(url);
    QFileDialog* dialog = renewMp3SaveDialog();
    if (!suggested.empty())
        dialog->selectFile(fromGbk(suggested));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return;
    const QString path = dialog->selectedFiles().first();
    const QString fileName = QFileInfo(path).fileName();

    // Progress in the status pane while the song arrives; the earlier text comes back after.
    const QString previousText = InfoPanel->text();
    QElapsedTimer sinceShown;
    auto showProgress = [&](int64_t received, int64_t total) {
        if (sinceShown.isValid() && sinceShown.elapsed() < 250 && received != total)
            return;
        sinceShown.start();
        QString text = QStringLiteral("正在下载 %1：%2 KB").arg(fileName, kilobytes(received));
        if (total > 0) {
            text += QStringLiteral(" / %1 KB（%2%）")
                        .arg(kilobytes(total))
                        .arg(received * 100 / total);
        }
        InfoPanel->setText(text);
    };
    showProgress(0, -1);
    try {
        DownloadSong(url, QFile::encodeName(path).toStdString(), showProgress);
    } catch (const EIdAborted&) {
        return;   // the window is closing
    } catch (const Exception& e) {
        InfoPanel->setText(previousText);
        showErrorBox(this, e.message());
        return;
    }
    InfoPanel->setText(previousText);
}

}  // namespace quavrel
