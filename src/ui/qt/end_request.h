// The request to end the program.
//
// Qt drops a quit() made before its event loop runs, and
// QCoreApplication::exit() leaves an open box on screen, so the request is
// kept here until the main loop takes it: it stays pending (sticky), every
// modal box open or opened meanwhile closes at once as cancelled, and the
// main loop ends at its next turn with exit code 0.
#pragma once

class QWidget;

// Posts the request; the caller goes on to its end.
void PostEndRequest();

bool EndRequestPending();

// Shows `mainWindow`, then runs the event loop until it takes the request
// to end, also one posted before. Returns the exit code, 0.
int RunMainLoop(QWidget& mainWindow);

// Forgets a request a finished main loop took, for a further run in the
// same process (test drivers).
void ClearEndRequest();
