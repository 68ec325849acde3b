// busview-report against the window: on the same bus file its text output
// holds, byte for byte, what the window's panes show.
#include <QLabel>
#include <QProcess>
#include <QRadioButton>

#include "ui/qt/cp932_text.h"
#include "ui_fixture.h"

namespace {

using namespace uitest;

// What the window is made to show: the simple display, a detailed display
// of every target each adapter selection lists, or one detailed display of
// typed adapter and target texts.
enum class Shown { Simple, EveryDetailed, One };

struct Comparison {
  const char* bus;
  Shown shown;
  const char* adapterText = "";
  const char* targetText = "";
};

void PrintTo(const Comparison& c, std::ostream* out) { *out << c.bus << " " << static_cast<int>(c.shown); }

// A pane's lines, each ended by a line break.
QString PaneText(const QPlainTextEdit* pane) {
  const QString text = pane->toPlainText();
  return text.isEmpty() ? text : text + QLatin1Char('\n');
}

QByteArray RunReport(const Comparison& c, const char* encoding) {
  QStringList arguments{QStringLiteral("--bus"), QString::fromStdString(BusPath(c.bus)),
                        QStringLiteral("--encoding"), QString::fromLatin1(encoding)};
  if (c.shown == Shown::EveryDetailed) arguments << QStringLiteral("--detailed");
  if (c.shown == Shown::One) {
    arguments << QStringLiteral("--adapter") << QString::fromUtf8(c.adapterText)
              << QStringLiteral("--target") << QString::fromUtf8(c.targetText);
  }
  QProcess report;
  report.start(QStringLiteral(BUSVIEW_REPORT), arguments);
  EXPECT_TRUE(report.waitForFinished(30000));
  EXPECT_EQ(report.exitStatus(), QProcess::NormalExit);
  return report.readAllStandardOutput();
}

class SameAsTheWindow : public WindowsOnBus, public ::testing::WithParamInterface<Comparison> {
 protected:
  // The window's panes after the display the case asks for.
  QString WindowText(const Comparison& c) {
    const QString survey = PaneText(Form1->Memo2) + QLatin1Char('\n');
    if (EndRequestPending()) return survey;
    if (c.shown == Shown::Simple) {
      Click(Form1->Button1);
      return survey + PaneText(Form1->Memo1);
    }
    Click(Form1->RadioButton2);
    if (c.shown == Shown::One) {
      TypeInto(Form1->ComboBox2, QString::fromUtf8(c.adapterText));
      TypeInto(Form1->ComboBox1, QString::fromUtf8(c.targetText));
      Click(Form1->Button1);
      return survey + PaneText(Form1->Memo1);
    }
    QStringList devices;
    for (int adapter = 0; adapter < Form1->ComboBox2->count(); ++adapter) {
      ChooseAdapterEntry(adapter);
      for (int target = 0; target < Form1->ComboBox1->count(); ++target) {
        TypeInto(Form1->ComboBox1, Form1->ComboBox1->itemText(target));
        Click(Form1->Button1);
        devices << PaneText(Form1->Memo1);
      }
    }
    return survey + devices.join(QLatin1Char('\n'));
  }
};

TEST_P(SameAsTheWindow, InBothEncodings) {
  const Comparison& c = GetParam();
  BoxWatcher boxes;
  StartShownOn(c.bus);
  const QString shown = WindowText(c);

  // The window draws what is no character as "･", a terminal gets U+FFFD;
  // no bus here holds a real "･".
  QString utf8Expected = shown;
  utf8Expected.replace(QChar(SubstituteCharacter), QChar(0xFFFD));
  EXPECT_EQ(RunReport(c, "utf-8"), utf8Expected.toUtf8());

  // The code page 932 bytes, shown as a pane shows them.
  QString cp932Shown;
  const QByteArray cp932 = RunReport(c, "cp932");
  for (const QByteArray& line : cp932.split('\n')) {
    cp932Shown += DisplayText(std::string_view(line.constData(), line.size())) + QLatin1Char('\n');
  }
  cp932Shown.chop(1);
  EXPECT_EQ(cp932Shown, shown);
}

INSTANTIATE_TEST_SUITE_P(
    Buses, SameAsTheWindow,
    ::testing::Values(Comparison{"no-adapters.json", Shown::Simple},
                      Comparison{"first-inquiry-aborted.json", Shown::Simple},
                      Comparison{"unusable.json", Shown::Simple},
                      Comparison{"one-adapter.json", Shown::Simple},
                      Comparison{"one-adapter.json", Shown::EveryDetailed},
                      Comparison{"two-adapters.json", Shown::Simple},
                      Comparison{"two-adapters.json", Shown::EveryDetailed},
                      Comparison{"odd-texts.json", Shown::Simple},
                      Comparison{"odd-texts.json", Shown::EveryDetailed},
                      Comparison{"selection.json", Shown::EveryDetailed},
                      Comparison{"thirteen-adapters.json", Shown::Simple},
                      Comparison{"thirteen-adapters.json", Shown::EveryDetailed},
                      Comparison{"wide-targets.json", Shown::One, "0", "300"},
                      Comparison{"wide-targets.json", Shown::One, "1x", "$3"},
                      Comparison{"thirteen-adapters.json", Shown::One, "12 : HA12", "4"}));

TEST(Version, IsTheOneTheAboutBoxShows) {
  QProcess report;
  report.start(QStringLiteral(BUSVIEW_REPORT), {QStringLiteral("--version")});
  ASSERT_TRUE(report.waitForFinished(30000));
  const QString version = QString::fromUtf8(report.readAllStandardOutput()).trimmed().split(' ').last();
  TAboutBox box;
  EXPECT_EQ(box.Version->text(), QStringLiteral("Version ") + version);
}

}  // namespace
