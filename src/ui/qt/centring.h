// Centring a window on the screen by its outer frame, which the window
// manager adds only once the window is on screen.
#pragma once

class QWidget;

// Places `window` so that its outer frame stands in the middle of the
// primary screen: left = (screen width - frame width) / 2, top likewise,
// each raised to 0 when negative. Call it from the window's showEvent,
// before the window is mapped: the first placement takes the frame the
// window manager gave another of our windows; once it has framed this one,
// the window is placed again by its own frame, if that differs.
void CentreOnScreen(QWidget& window);
