#include "ui/qt/about_box.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "ui/layout/form_layouts.h"
#include "ui/qt/centring.h"
#include "ui/qt/pictures.h"
#include "ui/qt/scaling.h"

TAboutBox* AboutBox = nullptr;

namespace {

using namespace about_box_layout;

QLabel* MakeLabel(QWidget* parent, const char* name, QRect geometry, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(geometry);
  return label;
}

// A label whose width (and height) follow its text.
void FitToText(QLabel* label) { label->resize(label->sizeHint()); }

}  // namespace

TAboutBox::TAboutBox() {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
  setWindowIcon(ProgramIconSet());
  // A dialog frame: a close box, no minimize or maximize box, fixed size.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setModal(false);
  setSizeGripEnabled(false);
  setFixedSize(Scaled(ClientWidth), Scaled(ClientHeight));
  QFont font = GothicFont(FontHeight);
  setFont(font);
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, Qt::black);
  palette.setColor(QPalette::ButtonText, Qt::black);
  setPalette(palette);
  move(Scaled(StoredLeft), Scaled(StoredTop));

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(ScaledRect(10, 10, 295, 161));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

  // The 32 x 32 icon, unscaled, at the top left of its area.
  ProgramIcon = MakeLabel(Panel1, "ProgramIcon", ScaledRect(10, 10, 41, 41), QString());
  ProgramIcon->setPixmap(ProgramIconPixmap());
  ProgramIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  ProductName = MakeLabel(Panel1, "ProductName", ScaledRect(58, 20, 115, 19),
                          QStringLiteral("BUSVIEW.EXE"));
  FitToText(ProductName);
  Version = MakeLabel(Panel1, "Version", ScaledRect(58, 49, 101, 19),
                      QStringLiteral("Version 1.02"));
  FitToText(Version);
  Copyright = MakeLabel(Panel1, "Copyright", ScaledRect(10, 78, 228, 18),
                        QStringLiteral("Copyright (C) the busview developers"));
  FitToText(Copyright);
  Comments = MakeLabel(Panel1, "Comments", ScaledRect(70, 98, 155, 15),
                       QStringLiteral("ご意見・不具合は"));
  Comments->setWordWrap(true);
  Comments->resize(Comments->width(), Comments->heightForWidth(Comments->width()));
  Label1 = MakeLabel(Panel1, "Label1", ScaledRect(70, 120, 219, 19),
                     QStringLiteral("busview プロジェクトの issue へ"));
  FitToText(Label1);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(ScaledRect(118, 179, 80, 41));
  OKButton->setDefault(true);
  OKButton->setFocus();
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(OKButton); });
}

void TAboutBox::OKButtonClick(QObject*) { hide(); }

void TAboutBox::ShowAndRaise() {
  if (!isVisible()) {
    // The first showing is centred (showEvent), later ones go back to where
    // the box was last.
    if (shownBefore_) move(lastPosition_);
    show();
  }
  raise();
  activateWindow();
  OKButton->setFocus();
}

void TAboutBox::showEvent(QShowEvent* event) {
  if (!shownBefore_) {
    shownBefore_ = true;
    CentreOnScreen(*this);
  }
  QDialog::showEvent(event);
}

void TAboutBox::hideEvent(QHideEvent* event) {
  // Where the user left it; the next showing puts it back there.
  lastPosition_ = pos();
  QDialog::hideEvent(event);
}

void TAboutBox::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Cancel)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}
