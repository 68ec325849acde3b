// Saving a pane's text to a file the user names.
#pragma once

#include <QString>

#include <string>
#include <string_view>

// Writes `bytes` to `path` whole or not at all: into a new file beside it,
// renamed over `path` once written. A file that stood at `path` keeps its
// permissions and is replaced only by the whole new text. Returns 0, or the
// errno of the step that failed; the new file is removed then.
int WriteFileWhole(const std::string& path, std::string_view bytes);

// The reason for an errno value, in Japanese.
QString FailureReason(int error);
