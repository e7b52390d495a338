// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace platform {

class Sound;

// The tone player over Qt Multimedia. One sound at a time: a new one ends
// the one playing, as the desktop's own wave playback does.
Sound& QtSound();

}  // namespace platform
