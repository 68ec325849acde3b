// What start-up leaves on screen: the survey's lines and entries, the
// controls of the main window and their layout, the survey's error box.
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>

#include "ui_fixture.h"

namespace {

using namespace uitest;

struct SurveyCase {
  const char* bus;
  QStringList memo2;
  QStringList entries;
};

class SurveyOnStart : public WindowsOnBus, public ::testing::WithParamInterface<SurveyCase> {};

TEST_P(SurveyOnStart, FillsTheAdapterPaneAndListBeforeTheWindowShows) {
  BoxWatcher boxes(BoxWatcher::Mode::Watch, 500);
  StartOn(GetParam().bus);
  EXPECT_FALSE(Form1->isVisible());
  EXPECT_FALSE(AboutBox->isVisible());
  EXPECT_TRUE(boxes.seen.empty()) << Describe(boxes.seen);
  EXPECT_EQ(MainWindow, Form1);

  EXPECT_EQ(Lines(Form1->Memo2), GetParam().memo2);
  QStringList entries;
  for (int i = 0; i < Form1->ComboBox2->count(); ++i) entries << Form1->ComboBox2->itemText(i);
  EXPECT_EQ(entries, GetParam().entries);
  EXPECT_EQ(AdapterCount, GetParam().entries.size());

  // The state the window is first shown in.
  EXPECT_EQ(Form1->ComboBox2->currentIndex(), -1);
  EXPECT_EQ(Form1->ComboBox2->currentText(), QString());
  EXPECT_EQ(Form1->ComboBox1->count(), 0);
  EXPECT_EQ(Form1->ComboBox1->currentText(), QString());
  EXPECT_EQ(Form1->Memo1->toPlainText(), QString());
  EXPECT_TRUE(Form1->RadioButton1->isChecked());
  EXPECT_FALSE(Form1->RadioButton2->isChecked());
  EXPECT_FALSE(EndRequestPending());
}

const QString CountLabel = QStringLiteral("ホストアダプタの数      = ");
const QString IdLabel = QStringLiteral("SCSIホストアダプタの ID = ");

INSTANTIATE_TEST_SUITE_P(
    Buses, SurveyOnStart,
    ::testing::Values(
        SurveyCase{"no-adapters.json", {CountLabel + "0", IdLabel + "0", " "}, {}},
        SurveyCase{"one-adapter.json",
                   {CountLabel + "1", IdLabel + "7", " ", "Host No.0 Driver = ASPI for WIN32",
                    "Host No.0 Adapter = ABCD-123", " "},
                   {"0 : ABCD-123"}},
        SurveyCase{"two-adapters.json",
                   {CountLabel + "2", IdLabel + "7", " ", "Host No.0 Driver = ASPI for WIN32",
                    "Host No.0 Adapter = ABCD-123", " ", "Host No.1 Driver = ASPI for WIN32",
                    QStringLiteral("Host No.1 Adapter = 内蔵SCSI"), " "},
                   {"0 : ABCD-123", QStringLiteral("1 : 内蔵SCSI")}},
        // A 16-byte name without NUL shows whole; a name starting with NUL
        // shows nothing; invalid bytes show as one substitute each.
        SurveyCase{"odd-texts.json",
                   {CountLabel + "2", IdLabel + "7", " ", "Host No.0 Driver = ASPI for WIN32",
                    "Host No.0 Adapter = ABCDEFGHIJKLMNOP", " ", "Host No.1 Driver = ",
                    QStringLiteral("Host No.1 Adapter = X･Y"), " "},
                   {"0 : ABCDEFGHIJKLMNOP", QStringLiteral("1 : X･Y")}}),
    [](const auto& info) {
      std::string name = info.param.bus;
      std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
      return name;
    });

TEST_F(WindowsOnBus, FirstInquiryAbortedShowsTheErrorBoxAndGoesOn) {
  BoxWatcher boxes;
  StartOn("first-inquiry-aborted.json");
  EXPECT_EQ(boxes.seen, OnlyBox(QStringLiteral("ｴﾗｰ"),
                                QStringLiteral("ホストアダプタ情報の取得に失敗しました"),
                                QMessageBox::Critical));
  EXPECT_EQ(Form1->Memo2->toPlainText(), QString());
  EXPECT_EQ(Form1->ComboBox2->count(), 0);
  EXPECT_EQ(AdapterCount, 0);
  EXPECT_FALSE(EndRequestPending());
  EXPECT_NE(AboutBox, nullptr);
}

TEST_F(WindowsOnBus, ControlsCarryTheirNamesTextsAndHints) {
  StartOn("one-adapter.json");
  EXPECT_EQ(Form1->windowTitle(), QStringLiteral("SCSI情報取得"));
  EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("SCSI情報取得"));
  EXPECT_TRUE(QGuiApplication::applicationDisplayName().isEmpty() ||
              QGuiApplication::applicationDisplayName() == QCoreApplication::applicationName());
  struct Named {
    QWidget* control;
    const char* name;
    const char* hint;
  };
  for (const Named& n : {Named{Form1->Memo1, "Memo1", ""}, Named{Form1->Panel1, "Panel1", ""},
                         Named{Form1->SpeedButton1, "SpeedButton1", "バージョン情報"},
                         Named{Form1->SpeedButton2, "SpeedButton2", "終了"},
                         Named{Form1->Label1, "Label1", ""}, Named{Form1->Label2, "Label2", ""},
                         Named{Form1->GroupBox1, "GroupBox1", ""},
                         Named{Form1->RadioButton1, "RadioButton1", ""},
                         Named{Form1->RadioButton2, "RadioButton2", ""},
                         Named{Form1->Button1, "Button1", ""}, Named{Form1->Memo2, "Memo2", ""},
                         Named{Form1->ComboBox1, "ComboBox1", "詳細表示のSCSI ID"},
                         Named{Form1->ComboBox2, "ComboBox2", "詳細表示のホストアダプタ"}}) {
    EXPECT_EQ(n.control->objectName(), QString::fromLatin1(n.name));
    EXPECT_EQ(n.control->toolTip(), QString::fromUtf8(n.hint)) << n.name;
    EXPECT_EQ(Form1->findChild<QWidget*>(QString::fromLatin1(n.name)), n.control) << n.name;
  }
  EXPECT_EQ(Form1->Label1->text(), QStringLiteral("ホストアダプタ情報"));
  EXPECT_EQ(Form1->Label2->text(), QStringLiteral("SCSI装置情報"));
  EXPECT_EQ(Form1->GroupBox1->title(), QStringLiteral("表示状態"));
  EXPECT_EQ(Form1->RadioButton1->text(), QStringLiteral("簡易"));
  EXPECT_EQ(Form1->RadioButton2->text(), QStringLiteral("詳細"));
  EXPECT_EQ(Form1->Button1->text(), QStringLiteral("表示"));
  EXPECT_EQ(Form1->SpeedButton1->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(Form1->SpeedButton2->focusPolicy(), Qt::NoFocus);
  EXPECT_TRUE(Form1->Memo1->isReadOnly());
  EXPECT_TRUE(Form1->Memo2->isReadOnly());
  EXPECT_EQ(Form1->ComboBox1->maxVisibleItems(), 8);
  EXPECT_TRUE(Form1->ComboBox2->isEditable());
  // The lists belong to the panel, not to the group box they stand in.
  EXPECT_EQ(Form1->ComboBox2->parentWidget(), Form1->Panel1);
  EXPECT_EQ(Form1->RadioButton1->parentWidget(), Form1->GroupBox1);
  EXPECT_FALSE(Form1->SpeedButton1->icon().isNull());
  EXPECT_FALSE(Form1->windowIcon().isNull());
}

// The offscreen screen has 96 DPI: every layout size is 0.8 of its
// 120-DPI value.
TEST_F(WindowsOnBus, LayoutScalesFrom120DpiAndFollowsTheWindowSize) {
  StartShownOn("one-adapter.json");
  ASSERT_DOUBLE_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInch(), 96.0);
  // The window's frame stands at the layout's place; the client area is
  // what the controls fill.
  EXPECT_EQ(Form1->frameGeometry().topLeft(), QPoint(13, 10));
  EXPECT_EQ(Form1->size(), QSize(410, 386));
  struct Placed {
    QWidget* control;
    QRect geometry;
  };
  const auto expectPlaces = [](std::initializer_list<Placed> places) {
    for (const Placed& p : places) {
      EXPECT_EQ(p.control->geometry(), p.geometry) << p.control->objectName().toStdString();
    }
  };
  expectPlaces({{Form1->Memo1, QRect(0, 180, 410, 206)},
                {Form1->Panel1, QRect(0, 0, 410, 180)},
                {Form1->SpeedButton1, QRect(336, 14, 25, 25)},
                {Form1->SpeedButton2, QRect(376, 14, 25, 25)},
                {Form1->GroupBox1, QRect(10, 6, 260, 39)},
                {Form1->RadioButton2, QRect(72, 16, 44, 17)},
                {Form1->Button1, QRect(280, 14, 41, 25)},
                {Form1->Memo2, QRect(6, 64, 250, 97)},
                {Form1->ComboBox1, QRect(224, 19, 33, 18)},
                {Form1->ComboBox2, QRect(128, 19, 90, 18)}});

  Form1->resize(600, 500);
  QCoreApplication::processEvents();
  expectPlaces({{Form1->Panel1, QRect(0, 0, 600, 180)},
                {Form1->Memo1, QRect(0, 180, 600, 320)},
                {Form1->SpeedButton2, QRect(376, 14, 25, 25)}});
}

TEST_F(WindowsOnBus, FontsAreTheLayoutsOrTheirIpaTwins) {
  StartOn("one-adapter.json");
  struct Font {
    QWidget* control;
    const char* family;
    int pixels;
  };
  for (const Font& f : {Font{Form1->Memo1, "IPAGothic", 18}, Font{Form1->Memo2, "IPAPGothic", 12},
                        Font{Form1->Button1, "IPAPGothic", 14},
                        Font{Form1->Label1, "IPAPGothic", 12}}) {
    const QFontInfo info(f.control->font());
    EXPECT_EQ(info.family(), QString::fromLatin1(f.family)) << f.control->objectName().toStdString();
    EXPECT_EQ(info.pixelSize(), f.pixels) << f.control->objectName().toStdString();
  }
}

}  // namespace
