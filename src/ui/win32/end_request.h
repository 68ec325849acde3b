// The request to end the program: WM_QUIT with exit code 0 in the
// user-interface thread's queue. It does not stop the code that made it.
// The main loop ends when it takes it; a modal box's own loop that takes it
// closes the box as cancelled and posts it again, so that the main loop
// ends at its next turn.
#pragma once

// Posts the request.
void PostEndRequest();

bool EndRequestPending();
