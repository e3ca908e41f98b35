#pragma once
// The one QApplication of a test program.

class QApplication;

// Creates the QApplication on first use (offscreen platform unless QT_QPA_PLATFORM says else).
QApplication& TestApplication();
