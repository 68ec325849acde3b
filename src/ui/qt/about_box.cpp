#include "ui/qt/about_box.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "ui/layout/form_layouts.h"
#include "ui/qt/centring.h"
#include "ui/qt/laid_out.h"
#include "ui/qt/pictures.h"
#include "ui/qt/scaling.h"

TAboutBox* AboutBox = nullptr;

namespace {

using namespace about_box_layout;

QLabel* MakeLabel(TAboutBox& box, const char* name) {
  return MakeLaidOut<QLabel>(box, AboutBoxLayout, name);
}

// A label whose width (and height) follow its text.
void FitToText(QLabel* label) { label->resize(label->sizeHint()); }

}  // namespace

TAboutBox::TAboutBox() {
  setObjectName(QString::fromLatin1(AboutBoxLayout[0].name));
  setWindowTitle(QString::fromUtf8(AboutBoxLayout[0].caption));
  setWindowIcon(ProgramIconSet());
  // A dialog frame: a close box, no minimize or maximize box, fixed size.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setModal(false);
  setSizeGripEnabled(false);
  setFixedSize(Scaled(Window.width), Scaled(Window.height));
  QFont font = GothicFont(FontHeight);
  setFont(font);
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, Qt::black);
  palette.setColor(QPalette::ButtonText, Qt::black);
  setPalette(palette);
  move(Scaled(Window.left), Scaled(Window.top));

  Panel1 = MakeLaidOut<QFrame>(*this, AboutBoxLayout, "Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

  // The 32 x 32 icon, unscaled, at the top left of its area.
  ProgramIcon = MakeLabel(*this, "ProgramIcon");
  ProgramIcon->setPixmap(ProgramIconPixmap());
  ProgramIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  ProductName = MakeLabel(*this, "ProductName");
  FitToText(ProductName);
  Version = MakeLabel(*this, "Version");
  FitToText(Version);
  Copyright = MakeLabel(*this, "Copyright");
  FitToText(Copyright);
  Comments = MakeLabel(*this, "Comments");
  Comments->setWordWrap(true);
  Comments->resize(Comments->width(), Comments->heightForWidth(Comments->width()));
  Label1 = MakeLabel(*this, "Label1");
  FitToText(Label1);

  OKButton = MakeLaidOut<QPushButton>(*this, AboutBoxLayout, "OKButton");
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
