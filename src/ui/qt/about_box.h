// The modeless about box: the program's icon, name and version.
#pragma once

#include <QDialog>
#include <QPoint>

class QFrame;
class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
 public:
  // Builds the box, hidden.
  TAboutBox();

  // The controls; each one's objectName is its name here.
  QFrame* Panel1 = nullptr;
  QLabel* ProgramIcon = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QLabel* Copyright = nullptr;
  QLabel* Comments = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* OKButton = nullptr;

  // Hides the box. Ignores its sender.
  void OKButtonClick(QObject* Sender);

  // The about command: shows the box, centred on the screen the first time
  // and where it was last afterwards, and brings it to the front.
  void ShowAndRaise();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  // Escape does nothing here: only OK and the close box hide the box.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool shownBefore_ = false;
  QPoint lastPosition_;
};

// The about box, from its creation at start-up to the end of the program.
extern TAboutBox* AboutBox;
