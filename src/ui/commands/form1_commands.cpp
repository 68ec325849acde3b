#include "ui/commands/form1_commands.h"

#include "aspi/request_block.h"
#include "ui/commands/integer_conversions.h"
#include "ui/layout/window_texts.h"
#include "reports/device_reports.h"
#include "reports/display.h"
#include "reports/survey.h"

namespace {

// The busy pointer for as long as the reports run.
class Busy {
 public:
  explicit Busy(Form1Skin& form) : form_(form) { form_.ShowBusy(true); }
  ~Busy() { form_.ShowBusy(false); }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  Form1Skin& form_;
};

}  // namespace

void RunFormCreate(Form1Skin& form) {
  MainWindow = &form;
  SurveyHostAdapters();
}

void RunDisplayCommand(Form1Skin& form) {
  form.ClearMemo1();
  if (form.RadioButton1Checked()) {
    if (AdapterCount <= 0) return;
    const Busy busy(form);
    ReportEveryAdapterSimply();
    return;
  }
  const std::u16string adapterText = form.ComboBox2Text();
  if (adapterText.empty()) {
    form.ShowPlainBox(NoAdapterChosenText);
    return;
  }
  CurrentAdapter = AdapterNumberOf(adapterText);
  CurrentTarget = IntegerOf(form.ComboBox1Text());
  const Busy busy(form);
  ReportDeviceType(CurrentTarget, CurrentAdapter);
  ReportInquiry(CurrentTarget, CurrentAdapter);
  ReportCapacity(CurrentTarget, CurrentAdapter);
}

void RunAdapterSelection(Form1Skin& form) {
  form.RemoveComboBox1Entries();
  const std::int32_t adapter = AdapterNumberOf(form.ComboBox2Text());
  const Busy busy(form);
  for (const std::int32_t target : AnsweringTargets(adapter)) {
    form.AppendComboBox1Entry(std::to_string(target));
  }
  form.SetComboBox1Text(form.ComboBox1Entry0());
}

void RunAboutCommand(Form1Skin& form) { form.ShowAboutBox(); }

void RunQuitCommand(Form1Skin& form) { form.RequestEnd(); }
