// What busview-report does once its command line is read. Each returns the
// exit status: 0, or 1 when the ASPI layer is not usable.
#pragma once

#include "cli/options.h"
#include "cli/terminal_window.h"

// The host adapter pane's lines, an empty line, then the device pane's
// lines of the display the options ask for.
int RunTextReport(const Options& options, TerminalWindow& window);

// The decoded facts as one JSON document.
int RunJsonReport(const Options& options, TerminalWindow& window);

// The same facts as Prometheus metrics, for a textfile collector.
int RunPrometheusReport(const Options& options, TerminalWindow& window);
