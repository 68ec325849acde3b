// busview-report: busview's survey and device reports on standard output
// (or in a file), as text, JSON or Prometheus metrics, without a display.
#include <unistd.h>
#if defined(__GLIBC__)
#include <pthread.h>
#endif
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "files/replacing_file.h"
#include "cli/runs.h"
#include "cli/version.h"
#include "reports/report_window.h"
#include "text/cp932.h"
#include "ui/layout/window_texts.h"

namespace {

constexpr int UsageError = 2;

// The exit status once stdio's buffer is out: a full disk shows only when
// it is flushed.
int FlushedStdout() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
  std::perror("busview-report: standard output");
  return 1;
}

// The window's messages for what it refuses, in the output's encoding; the
// text that failed goes out as it was given.
std::string RefusalMessage(const OptionError& error, Encoding encoding) {
  auto literal = [encoding](const char* utf8) {
    return encoding == Encoding::Cp932 ? Cp932(utf8) : std::string(utf8);
  };
  switch (error.kind) {
    case OptionError::Kind::NotAnInteger:
      return FilledIn(literal(NotAnIntegerText), error.text) + FailureTextEnd;
    case OptionError::Kind::NoAdapter:
      return literal(NoAdapterChosenText);
    case OptionError::Kind::Usage:
      break;
  }
  return error.text;
}

// Every thread of the run (the layer's, one per command, and those that
// wait for requests) needs little stack. Under 2 MiB a stack is never given
// a huge page, which the kernel would clear whole for each new thread.
// ThreadSanitizer builds keep the defaults: their instrumented frames are
// larger, and their runs look for races, not for speed.
void KeepThreadStacksSmall() {
#if defined(__GLIBC__) && !defined(__SANITIZE_THREAD__)
  constexpr std::size_t StackBytes = 512 * 1024;
  pthread_attr_t attributes;
  if (pthread_getattr_default_np(&attributes) != 0) return;
  if (pthread_attr_setstacksize(&attributes, StackBytes) == 0)
    pthread_setattr_default_np(&attributes);
  pthread_attr_destroy(&attributes);
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
#ifdef _WIN32
  // The report's bytes go out as they are, without "\r" before each "\n".
  _setmode(STDOUT_FILENO, _O_BINARY);
  _setmode(STDERR_FILENO, _O_BINARY);
#endif
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const ParsedOptions parsed = ParseOptions(arguments);
  const Encoding encoding = parsed.options.encoding.value_or(LocaleEncoding());
  if (parsed.error) {
    std::fprintf(stderr, "%s\n", RefusalMessage(*parsed.error, encoding).c_str());
    return UsageError;
  }
  const Options& options = parsed.options;
  if (options.help) {
    std::fputs(UsageText, stdout);
    return FlushedStdout();
  }
  if (options.version) {
    std::printf("busview-report %s\n", BusviewVersion);
    return FlushedStdout();
  }
  KeepThreadStacksSmall();
  // The layer reads it when the first request comes.
#ifdef _WIN32
  if (options.bus) _putenv_s("WNASPI32_BUS", options.bus->c_str());
#else
  if (options.bus) setenv("WNASPI32_BUS", options.bus->c_str(), 1);
#endif

  // Made before the survey, so that a folder that takes no file is told at
  // once; removed again unless the whole report is written.
  std::optional<ReplacingFile> file;
  const auto fileFailed = [&file] {
    std::fprintf(stderr, "busview-report: %s: %s\n", file->path().c_str(), std::strerror(file->error()));
    return 1;
  };
  if (options.output && !file.emplace(*options.output).Open(/*removeOnSignal=*/true)) return fileFailed();

  try {
    OutputSink output = WriteToStandardOutput;
    if (file) output = [&file](std::string_view bytes) { return file->Write(bytes); };
    TerminalWindow window(encoding, isatty(STDERR_FILENO) != 0, output);
    MainWindow = &window;
    const int status = options.prometheus ? RunPrometheusReport(options, window)
                       : options.json     ? RunJsonReport(options, window)
                                          : RunTextReport(options, window);
    const bool written = window.Finish();
    MainWindow = nullptr;
    if (file && !(written && file->Commit())) return fileFailed();
    if (!written) {
      std::perror("busview-report: standard output");
      return 1;
    }
    return status;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "busview-report: %s\n", failure.what());
    return 1;
  }
}
