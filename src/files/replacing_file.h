// A file that a reader never sees half written: busview-report's --output
// and the window's saved panes.
#pragma once

#include <string>
#include <string_view>

// Writes all of `bytes` to `descriptor`; false when it could not (errno
// says why).
bool WriteAll(int descriptor, std::string_view bytes);

// The text goes to a new file beside `path`, named ".NAME.XXXXXX" (unique
// to each writer, so two at once never share one, and hidden from a
// textfile collector, which reads *.prom files only), and is renamed over
// `path` only once it is whole: a reader finds the old file or the new one.
// A writer that fails leaves the old file as it was and removes its own.
class ReplacingFile {
 public:
  explicit ReplacingFile(std::string path);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Makes the new file; false when the folder does not take one. With
  // `removeOnSignal` a signal that ends the program (Ctrl-C, systemd's
  // stop) removes it too.
  bool Open(bool removeOnSignal = false);
  bool Write(std::string_view bytes);
  // Gives the new file the permissions of the file it replaces, or those
  // of any new file (the umask's), writes it out to the disk and puts it in
  // place of `path`.
  bool Commit();

  const std::string& path() const { return path_; }
  // Why the last step failed (an errno value).
  int error() const { return error_; }

 private:
  bool Failed();
  bool removeOnSignal_ = false;

  std::string path_;
  std::string temporary_;
  int descriptor_ = -1;
  int error_ = 0;
};
