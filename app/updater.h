// The updater's life from the application object to the exit code: the framework's
// start-up has run (plug-ins loaded, entry points bound) and a front end is installed.
#pragma once

// Names the program's window classes to the framework, creates the application object with
// its menu bar, runs the program until it quits, then releases what it held: the windows, the
// menu bar, the HID module's globals, the pictures and the application object. Returns the
// exit code.
int RunUpdater();
