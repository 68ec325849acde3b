// Start-up and shut-down of the program, for main() and for drivers that
// run the real windows.
#pragma once

// Needs a QApplication. Sets the application title (ApplicationTitle, the
// title of the plain and failure boxes), then creates Form1, hidden (its
// creation runs the host adapter survey, boxes and all), then AboutBox,
// hidden.
void CreateBusviewWindows();

// Shows Form1 and runs the event loop until it takes the request to end.
// Returns the exit code, 0.
int RunBusview();

// Destroys AboutBox and Form1.
void DestroyBusviewWindows();
