#include "busview_window.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <stdexcept>

#include "ui/qt/drop_down_list.h"
#include "ui/qt/form1.h"
#include "ui/qt/report_pane.h"

namespace lab {
namespace {

std::vector<std::string> PaneLines(const ReportPane& pane) {
  const QString text = pane.toPlainText();
  if (text.isEmpty()) return {};
  std::vector<std::string> lines;
  for (const QString& line : text.split(QLatin1Char('\n'))) lines.push_back(line.toStdString());
  return lines;
}

std::vector<std::string> Items(const DropDownList& list) {
  std::vector<std::string> items;
  for (int i = 0; i < list.count(); ++i) items.push_back(list.itemText(i).toStdString());
  return items;
}

// Lets queued events (and a box a command may have opened) run.
void Settle() { QApplication::processEvents(); }

}  // namespace

std::vector<std::string> HostAdapterPaneLines() { return PaneLines(*Form1->Memo2); }
std::vector<std::string> DevicePaneLines() { return PaneLines(*Form1->Memo1); }
std::vector<std::string> AdapterListItems() { return Items(*Form1->ComboBox2); }

TargetList SelectAdapter(int index) {
  Form1->ComboBox2->setCurrentIndex(index);
  Q_EMIT Form1->ComboBox2->activated(index);
  Settle();
  return {Items(*Form1->ComboBox1), Form1->ComboBox1->currentText().toStdString()};
}

std::vector<std::string> DisplaySimple() {
  Form1->RadioButton1->click();
  Form1->Button1->click();
  Settle();
  return DevicePaneLines();
}

std::vector<std::string> DisplayDetailed(const Unit& unit) {
  if (unit.lun != 0) throw std::invalid_argument("the window asks LUN 0 only");
  SelectAdapter(unit.adapter);
  Form1->ComboBox1->setEditText(QString::number(unit.target));
  Form1->RadioButton2->click();
  Form1->Button1->click();
  Settle();
  return DevicePaneLines();
}

}  // namespace lab
