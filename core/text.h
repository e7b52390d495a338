// SPDX-License-Identifier: GPL-3.0-or-later
// The CP936 texts live with the desktop seams (platform/text.h), which need
// them too; this name stays for the code above them.
#pragma once
#include "platform/text.h"
