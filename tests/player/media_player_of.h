#pragma once
// The QMediaPlayer under a player's media engine (created if need be), for tests that look
// at the engine's state. The engine lives in a module; the tests link Qt Multimedia.
#include <QMediaPlayer>

#include "player/windows_media_player.h"

namespace quavrel::test {

inline QMediaPlayer* mediaPlayerOf(TWindowsMediaPlayer* player)
{
    return qobject_cast<QMediaPlayer*>(player->mediaPlayer());
}

}  // namespace quavrel::test
