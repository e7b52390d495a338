// SPDX-License-Identifier: GPL-3.0-or-later
// How the embedded browser engine is set up: what must be settled before the
// application object exists, and the profile the pages share.
#pragma once
#include <vector>

namespace browser {

// Call before QApplication. Returns the arguments to build it with: the
// program's own, then the browser engine's switches (behind --webEngineArgs);
// the vector ends with a null pointer and must outlive the application.
std::vector<char*> PrepareEngine(int argc, char** argv);

// Call right after QApplication: takes back what PrepareEngine put into the
// environment only for it, and sets up the shared profile.
void FinishEngineSetup();

}  // namespace browser
