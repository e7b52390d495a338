// SPDX-License-Identifier: GPL-3.0-or-later
// The text caret stops blinking after a while without input, and stays
// shown, as desktop toolkits do (GTK's cursor-blink-timeout, 10 s): a chat
// window left focused all day would otherwise wake the program twice a
// second for nothing. The next key, click or focus change blinks it again.
#pragma once
class QObject;

namespace platform {

// Seconds of no input after which the caret stands still.
constexpr int kCaretBlinkSeconds = 10;

// Installs the watch on the application; once, after it exists. A desktop
// whose caret does not blink is left as it is. Returns the watch (owned by
// the application), or nullptr.
QObject* RestCaretWhenIdle(int idleMs = kCaretBlinkSeconds * 1000);

}  // namespace platform
