// The program's modal boxes, each with the one button "OK", centred on the
// screen. A box asked for while the request to end is pending closes at
// once, as cancelled, without waiting for the user.
#pragma once

#include <QString>

#include <functional>

// Error icon, the title ErrorBoxTitle.
void ShowErrorBox(const QString& text);
// No icon, the application title.
void ShowPlainBox(const QString& text);
// Stop icon, the application title: a command that failed.
void ShowFailureBox(const QString& text);

// Runs one command of a window. A failure it raises ends the command and is
// shown in the failure box as its message followed by "."; the program
// goes on.
void RunCommand(const std::function<void()>& command);
