#include "cli/terminal_window.h"

#include <unistd.h>

#include <utility>

#include "files/replacing_file.h"

namespace {

// Moves to the start of the line and erases it.
constexpr std::string_view EraseLine = "\r\x1B[K";

}  // namespace

bool WriteToStandardOutput(std::string_view bytes) { return WriteAll(STDOUT_FILENO, bytes); }

TerminalWindow::TerminalWindow(Encoding encoding, bool progress, OutputSink output)
    : encoding_(encoding), progress_(progress), output_(std::move(output)) {}

TerminalWindow::~TerminalWindow() { Finish(); }

void TerminalWindow::ShowErrorBox(const std::string& text) {
  Flush();
  ClearProgress();
  WriteAll(STDERR_FILENO, EncodeLine(text, encoding_) + "\n");
}

void TerminalWindow::WriteLine(std::string_view cp932Line) {
  pending_ += EncodeLine(cp932Line, encoding_);
  pending_ += '\n';
}

void TerminalWindow::WriteEmptyLine() { pending_ += '\n'; }

void TerminalWindow::WriteRaw(std::string_view text) { pending_ += text; }

void TerminalWindow::Step(const Unit& unit, bool namesLun) {
  Flush();
  if (!progress_) return;
  const std::string lun = namesLun ? ",LUN " + std::to_string(unit.lun) : std::string();
  const std::string line = std::string(EraseLine) + "busview-report: HostNo " +
                           std::to_string(unit.adapter) + ",ID " + std::to_string(unit.target) +
                           lun + " ...";
  WriteAll(STDERR_FILENO, line);
  progressShown_ = true;
}

bool TerminalWindow::Finish() {
  Flush();
  ClearProgress();
  return !failed_;
}

void TerminalWindow::Flush() {
  if (pending_.empty()) return;
  // The progress line would stand in the way on a shared terminal.
  ClearProgress();
  if (!output_(pending_)) failed_ = true;
  pending_.clear();
}

void TerminalWindow::ClearProgress() {
  if (!progressShown_) return;
  WriteAll(STDERR_FILENO, EraseLine);
  progressShown_ = false;
}
