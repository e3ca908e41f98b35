#pragma once
// The program's units start in a fixed order and shut down in the reverse one; C++ does not
// order static initialisation across files, so the program entry calls these explicitly.

// Helpers, file helpers, application support, message box, USB layer, main unit; then the
// fonts the windows name.
void StartUnits();

// The reverse order. Runs after the main window's close handler and before the window objects
// are destroyed: nothing may use AppSettings once it has run.
void StopUnits();
