// The identifiers of the windows' controls, by the layouts' names. The
// window tests find the controls by them.
#pragma once

// Window classes.
#define BUSVIEW_FORM1_CLASS L"TForm1"
#define BUSVIEW_ABOUT_BOX_CLASS L"TAboutBox"

enum Form1ControlId {
  IdMemo1 = 101,
  IdPanel1,
  IdSpeedButton1,
  IdSpeedButton2,
  IdLabel1,
  IdLabel2,
  IdGroupBox1,
  IdRadioButton1,
  IdRadioButton2,
  IdButton1,
  IdMemo2,
  IdComboBox1,
  IdComboBox2,
};

enum AboutBoxControlId {
  IdAboutPanel1 = 201,
  IdProgramIcon,
  IdProductName,
  IdVersion,
  IdCopyright,
  IdComments,
  IdAboutLabel1,
  IdOKButton = 1,  // IDOK: Enter presses it
};
