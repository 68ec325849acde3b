// The program's modal boxes, each with the one button "OK", centred on the
// screen. A box asked for while the request to end is pending is not shown.
#pragma once

#include <functional>
#include <string>

// Error icon, the title ErrorBoxTitle.
void ShowErrorBox(const std::wstring& text);
// No icon, the application title.
void ShowPlainBox(const std::wstring& text);
// Stop icon, the application title: a command that failed.
void ShowFailureBox(const std::wstring& text);

// Runs one command of a window. A failure it raises ends the command and is
// shown in the failure box as its message followed by "."; the program
// goes on.
void RunCommand(const std::function<void()>& command);
