// A main window for the reports that records what they do to it, in order.
#pragma once

#include <string>
#include <vector>

#include "reports/report_window.h"

class RecordingWindow final : public ReportWindow {
 public:
  enum class Kind { ClearMemo1, Memo1, Memo2, ComboBox2, ErrorBox, RequestEnd };
  struct Call {
    Kind kind;
    std::string text;
    bool operator==(const Call&) const = default;
  };

  bool detailed = false;
  std::vector<Call> calls;

  void ClearMemo1() override { calls.push_back({Kind::ClearMemo1, {}}); }
  void AppendMemo1(const std::string& line) override { calls.push_back({Kind::Memo1, line}); }
  void AppendMemo2(const std::string& line) override { calls.push_back({Kind::Memo2, line}); }
  void AddComboBox2Item(const std::string& item) override {
    calls.push_back({Kind::ComboBox2, item});
  }
  bool RadioButton2Checked() override { return detailed; }
  void ShowErrorBox(const std::string& text) override { calls.push_back({Kind::ErrorBox, text}); }
  void RequestEnd() override { calls.push_back({Kind::RequestEnd, {}}); }

  std::vector<std::string> Texts(Kind kind) const {
    std::vector<std::string> texts;
    for (const Call& call : calls) {
      if (call.kind == kind) texts.push_back(call.text);
    }
    return texts;
  }
  std::vector<std::string> Memo1() const { return Texts(Kind::Memo1); }
  std::vector<std::string> Memo2() const { return Texts(Kind::Memo2); }
  std::vector<std::string> ComboBox2() const { return Texts(Kind::ComboBox2); }
};
