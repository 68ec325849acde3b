// The window busview-report gives the reports: both panes go to the output
// (standard output, or --output's file), a line each, the boxes to standard
// error.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "cli/cp932_output.h"
#include "reports/report_window.h"
#include "reports/unit.h"

// Where the report's bytes go; false when they could not be written.
using OutputSink = std::function<bool(std::string_view)>;

// Standard output.
bool WriteToStandardOutput(std::string_view bytes);

class TerminalWindow : public ReportWindow {
 public:
  // With `progress`, the device under way is shown on standard error.
  TerminalWindow(Encoding encoding, bool progress, OutputSink output = WriteToStandardOutput);
  ~TerminalWindow() override;

  // Detailed mode for the reports.
  bool detailed = false;
  // The layer was not usable: the window would end at once.
  bool endRequested = false;

  // Lines are already in order on the output; nothing to clear.
  void ClearMemo1() override {}
  void AppendMemo1(const std::string& line) override { WriteLine(line); }
  void AppendMemo2(const std::string& line) override { WriteLine(line); }
  void AddComboBox2Item(const std::string&) override {}
  bool RadioButton2Checked() override { return detailed; }
  void ShowErrorBox(const std::string& text) override;
  void RequestEnd() override { endRequested = true; }

  void WriteLine(std::string_view cp932Line);
  void WriteEmptyLine();
  // Writes `text` as it stands (the JSON document).
  void WriteRaw(std::string_view text);
  // A device is about to be asked: what is done so far goes out, and the
  // progress line names the device (and its LUN, with `namesLun`).
  void Step(const Unit& unit, bool namesLun);
  // Writes what is left; false when standard output failed.
  bool Finish();

  Encoding encoding() const { return encoding_; }
  bool progress() const { return progress_; }

 private:
  void Flush();
  void ClearProgress();

  Encoding encoding_;
  bool progress_;
  OutputSink output_;
  bool progressShown_ = false;
  bool failed_ = false;
  std::string pending_;
};
