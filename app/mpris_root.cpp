#include "app/mpris_root.h"

#include "app/application.h"
#include "app/frm_main.h"

namespace quavrel {

MprisRoot::MprisRoot(TfrmMain* window, QObject* service)
    : QDBusAbstractAdaptor(service), window_(window)
{
}

QString MprisRoot::identity() const { return QString::fromLatin1(kProductName); }

void MprisRoot::Raise() { window_->N5Click(); }

void MprisRoot::Quit() { window_->X1Click(); }

}  // namespace quavrel
