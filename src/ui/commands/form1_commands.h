// The main window's commands, once for every toolkit: each window's handler
// calls the one for its event with itself. Button1Click and ComboBox2Click
// throw CommandFailure for a text that names no integer; the window shows
// it in its failure box.
#pragma once

#include "ui/commands/form1_skin.h"

// FormCreate: makes `form` the reports' main window, probes the ASPI layer
// and runs the host adapter survey.
void RunFormCreate(Form1Skin& form);

// Button1Click, the display command: empties Memo1, then reports every
// adapter and target (simple mode) or the adapter and target the lists name
// (detailed mode).
void RunDisplayCommand(Form1Skin& form);

// ComboBox2Click, the adapter selection: the target list becomes the target
// IDs 0 to 7 that answer on the chosen adapter, and shows the lowest.
void RunAdapterSelection(Form1Skin& form);

// SpeedButton1Click: the about box.
void RunAboutCommand(Form1Skin& form);

// SpeedButton2Click, and closing the main window: the request to end.
void RunQuitCommand(Form1Skin& form);
