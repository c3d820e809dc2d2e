#pragma once
// Lets a list row carry its song record: rows of lvSearchResult and lvPlaying hold their
// MediaPtr under Qt::UserRole as QVariant::fromValue(media); TfrmMain::mediaOf reads it.
#include <QMetaType>

#include "media/media.h"

Q_DECLARE_METATYPE(quavrel::MediaPtr)
