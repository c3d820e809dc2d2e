#pragma once
// Lets a list row carry its song record: rows of lvSearchResult hold their MediaPtr under
// Qt::UserRole as QVariant::fromValue(media); TfrmMain::mediaOf reads it. (The play list's
// records live in TfrmMain::playList(); its rows only show them.)
#include <QMetaType>

#include "media/media.h"

Q_DECLARE_METATYPE(quavrel::MediaPtr)
