// SPDX-License-Identifier: GPL-3.0-or-later
// Times as the user's region writes them.
#pragma once
#include "platform/text.h"

// The clock's current local time in the system's long time format, without
// a time zone (the desktop's own long format names none).
text::Ansi LongTimeText();
