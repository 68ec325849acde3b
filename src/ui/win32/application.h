// Start-up and shut-down of the program.
#pragma once

// Creates Form1, hidden (its creation runs the host adapter survey, boxes
// and all), then AboutBox, hidden.
void CreateBusviewWindows();

// Shows Form1 and runs the event loop until it takes the request to end,
// also one posted before. Returns the exit code it carries, 0.
int RunBusview();

// Destroys AboutBox and Form1.
void DestroyBusviewWindows();
