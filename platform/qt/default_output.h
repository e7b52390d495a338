// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

namespace platform {

// The sound server's default playback device as the desktop's sound settings
// set it now. Qt Multimedia 6.4 reads the default once and keeps it: a
// headset plugged in and chosen later is listed, yet not reported as the
// default. This watch subscribes to the server's changes on a thread of its
// own that sleeps until one comes (no wake-ups while nothing changes).
// Empty while it knows nothing (no server, not yet answered).
QByteArray DefaultOutputName();

}  // namespace platform
