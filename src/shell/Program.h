// The program entry after the application object exists: the main window (whose creation runs
// the login dialog), a hidden login window (the connect sequence once more), a hidden settings
// window, then the message loop until termination. The pool DBMrg refers to at the end is freed
// when the process ends.
#pragma once

#include "shell/Application.h"

void RunProgram(TApplication& application);
