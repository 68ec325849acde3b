#include "ui/win32/form1.h"

#include <algorithm>
#include <iterator>

#include "ui/commands/form1_commands.h"
#include "ui/layout/form_layouts.h"
#include "ui/win32/about_box.h"
#include "ui/win32/application.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/end_request.h"
#include "ui/win32/fonts.h"
#include "ui/win32/message_boxes.h"
#include "ui/win32/pictures.h"

TForm1* Form1 = nullptr;

namespace {

using namespace form1_layout;
// A drop-down list's height in the layout is its text field's; the open
// list hangs below it.
constexpr int ListRoom = MaxVisibleEntries * 18;

constexpr DWORD WindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
// Sent to itself so that the adapter selection runs once the text field
// shows the chosen entry.
constexpr UINT ComboBox2Chosen = WM_APP + 1;

// Text boxes and lists sunken into their parent, as the layouts draw them.
constexpr DWORD Sunken = WS_BORDER;
constexpr DWORD PaneStyle = Sunken | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY;
constexpr DWORD ListStyle = CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;

// The controls of the layout, in the order of creation.
constexpr ControlClass Classes[] = {
    {IdMemo1, "Memo1", L"EDIT", PaneStyle, 0},
    {IdPanel1, "Panel1", L"TPanel", PanelRaised, WS_EX_CONTROLPARENT},
    {IdSpeedButton1, "SpeedButton1", L"TSpeedButton", 0, 0},
    {IdSpeedButton2, "SpeedButton2", L"TSpeedButton", 0, 0},
    {IdLabel1, "Label1", L"STATIC", SS_LEFT | SS_NOPREFIX, 0},
    {IdLabel2, "Label2", L"STATIC", SS_LEFT | SS_NOPREFIX, 0},
    // The group box is drawn over the two lists inside its frame, which
    // show through it; clicks go through to them.
    {IdGroupBox1, "GroupBox1", L"TGroupBox", 0, WS_EX_CONTROLPARENT | WS_EX_TRANSPARENT},
    {IdRadioButton1, "RadioButton1", L"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 0},
    {IdRadioButton2, "RadioButton2", L"BUTTON", BS_AUTORADIOBUTTON, 0},
    {IdButton1, "Button1", L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0},
    {IdMemo2, "Memo2", L"EDIT", PaneStyle, 0},
    {IdComboBox1, "ComboBox1", L"COMBOBOX", ListStyle, 0},
    {IdComboBox2, "ComboBox2", L"COMBOBOX", ListStyle, 0},
};

const LayoutRect& PlaceOf(int id) { return LayoutOf(Form1Layout, ClassOf(Classes, id).name).rect; }

void SetFont(HWND control, HFONT font) {
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

std::u16string Utf16(const std::wstring& text) { return {text.begin(), text.end()}; }
std::wstring Wide(const std::u16string& text) { return {text.begin(), text.end()}; }

}  // namespace

TForm1::TForm1() {
  Handle = MakeTopLevelWindow(BUSVIEW_FORM1_CLASS, ProgramIcon(32),
                              WideFromUtf8(Form1Layout[0].caption).c_str(), WindowStyle, 0, nullptr,
                              WindowProcOf<TForm1>, this);
  dpi_ = DpiOf(Handle);
  const SIZE outer = OuterSize(Window.width, Window.height, WindowStyle, 0, dpi_);
  SetWindowPos(Handle, nullptr, Scaled(Window.left, dpi_), Scaled(Window.top, dpi_), outer.cx,
               outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  CreateControls();
  ApplyLayout(dpi_);
  FormCreate(Handle);
}

TForm1::~TForm1() {
  if (MainWindow == this) MainWindow = nullptr;
  DestroyWindow(Handle);
  for (HFONT font : {windowFont_, memo1Font_, button1Font_}) DeleteObject(font);
  ImageList_Destroy(aboutPictures_);
  ImageList_Destroy(exitPictures_);
}

void TForm1::CreateControls() {
  const auto make = [this](int id) { return MakeLaidOut(Handle, Form1Layout, Classes, id, dpi_); };
  Memo1.handle = make(IdMemo1);
  Panel1 = make(IdPanel1);
  SpeedButton1 = make(IdSpeedButton1);
  SpeedButton2 = make(IdSpeedButton2);
  Label1 = make(IdLabel1);
  Label2 = make(IdLabel2);
  GroupBox1 = make(IdGroupBox1);
  RadioButton1 = make(IdRadioButton1);
  RadioButton2 = make(IdRadioButton2);
  SendMessageW(RadioButton1, BM_SETCHECK, BST_CHECKED, 0);
  Button1 = make(IdButton1);
  Memo2.handle = make(IdMemo2);
  ComboBox1.handle = make(IdComboBox1);
  ComboBox2.handle = make(IdComboBox2);
  Memo1.Clear();
  Memo2.Clear();
  ComboBox1.Prepare();
  ComboBox2.Prepare();

  hints_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                           WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, Handle, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
  AddHints(hints_, Handle, Form1Layout, Classes);
}

void TForm1::ApplyLayout(UINT dpi) {
  dpi_ = dpi;
  const HFONT oldFonts[] = {windowFont_, memo1Font_, button1Font_};
  windowFont_ = GothicFont(WindowFontHeight, dpi);
  memo1Font_ = FixedFont(Memo1FontHeight, dpi);
  button1Font_ = GothicFont(Button1FontHeight, dpi);
  for (HWND control : {Panel1, Label1, Label2, GroupBox1, RadioButton1, RadioButton2, Memo2.handle,
                       ComboBox1.handle, ComboBox2.handle, hints_}) {
    SetFont(control, windowFont_);
  }
  SetFont(Memo1.handle, memo1Font_);
  SetFont(Button1, button1Font_);
  for (HFONT font : oldFonts) DeleteObject(font);

  const HIMAGELIST oldPictures[] = {aboutPictures_, exitPictures_};
  aboutPictures_ = TwoPictureList(L"SPEEDBUTTON1", dpi);
  exitPictures_ = TwoPictureList(L"SPEEDBUTTON2", dpi);
  SetSpeedButtonPictures(SpeedButton1, aboutPictures_);
  SetSpeedButtonPictures(SpeedButton2, exitPictures_);
  for (HIMAGELIST pictures : oldPictures) ImageList_Destroy(pictures);

  for (const ControlClass& control : Classes) {
    HWND handle = FindControl(Handle, control.id);
    LayoutRect placement = PlaceOf(control.id);
    // The text field keeps the layout's height; the open list hangs below.
    if (control.id == IdComboBox1 || control.id == IdComboBox2) placement.height += ListRoom;
    // A label is as wide as its text, where that is wider (Label1's text
    // is where the font is wider than the layouts').
    if (control.id == IdLabel1 || control.id == IdLabel2) {
      placement.width =
          std::max(placement.width,
                   MulDiv(TextExtent(handle, windowFont_, 0).cx, 120, static_cast<int>(dpi)) + 1);
    }
    Place(handle, placement, dpi);
  }
  ComboBox1.SetFieldHeight(Scaled(PlaceOf(IdComboBox1).height, dpi));
  ComboBox2.SetFieldHeight(Scaled(PlaceOf(IdComboBox2).height, dpi));
  DockPanes();
}

void TForm1::DockPanes() {
  // Panel1 is docked at the top edge; Memo1 fills the rest.
  RECT client{};
  GetClientRect(Handle, &client);
  const int panelHeight = Scaled(Panel1Height, dpi_);
  SetWindowPos(Panel1, nullptr, 0, 0, client.right, panelHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(Memo1.handle, nullptr, 0, panelHeight, client.right,
               std::max(0L, client.bottom - panelHeight), SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case ComboBox2Chosen:
      comboBox2ClickPosted_ = false;
      ComboBox2Click(ComboBox2.handle);
      return 0;
    case WM_CTLCOLORSTATIC:
      // The panes are read-only, yet white, with the window's text colour
      // (Memo1 black).
      if (reinterpret_cast<HWND>(lParam) == Memo1.handle ||
          reinterpret_cast<HWND>(lParam) == Memo2.handle) {
        auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, reinterpret_cast<HWND>(lParam) == Memo1.handle
                             ? RGB(0, 0, 0)
                             : GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    case WM_SIZE:
      if (Panel1 != nullptr) DockPanes();
      return 0;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(Handle, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      ApplyLayout(HIWORD(wParam));
      return 0;
    }
    case WM_CLOSE:
      // Closing through the frame is the quit command; the window itself
      // lives until the program ends.
      RunCommand([this] { RunQuitCommand(*this); });
      return 0;
    default:
      break;
  }
  return DefWindowProcW(Handle, message, wParam, lParam);
}

void TForm1::Command(int id, int code, HWND control) {
  switch (id) {
    case IdButton1:
      if (code == BN_CLICKED) Button1Click(control);
      break;
    case IdSpeedButton1:
      if (code == BN_CLICKED) SpeedButton1Click(control);
      break;
    case IdSpeedButton2:
      if (code == BN_CLICKED) SpeedButton2Click(control);
      break;
    case IdComboBox1:
      if (code == CBN_EDITCHANGE) ComboBox1.KeepWithinLimit();
      break;
    case IdComboBox2:
      if (code == CBN_EDITCHANGE) ComboBox2.KeepWithinLimit();
      // An entry chosen: by mouse or Enter in the open list (CBN_SELENDOK),
      // or by the arrow keys on the closed list (CBN_SELCHANGE; in the open
      // list they only move through it). The text field shows the entry
      // after these notifications, so the command runs from the queue.
      if ((code == CBN_SELENDOK ||
           (code == CBN_SELCHANGE && !SendMessageW(control, CB_GETDROPPEDSTATE, 0, 0))) &&
          !comboBox2ClickPosted_) {
        comboBox2ClickPosted_ = true;
        PostMessageW(Handle, ComboBox2Chosen, 0, 0);
      }
      break;
    default:
      break;
  }
}

void TForm1::FormCreate(HWND) { RunFormCreate(*this); }

void TForm1::Button1Click(HWND) {
  RunCommand([this] { RunDisplayCommand(*this); });
}

void TForm1::ComboBox2Click(HWND) {
  RunCommand([this] { RunAdapterSelection(*this); });
}

void TForm1::SpeedButton1Click(HWND) {
  RunCommand([this] { RunAboutCommand(*this); });
}

void TForm1::SpeedButton2Click(HWND) {
  RunCommand([this] { RunQuitCommand(*this); });
}

void TForm1::ClearMemo1() { Memo1.Clear(); }

void TForm1::AppendMemo1(const std::string& line) { Memo1.AppendLine(line); }

void TForm1::AppendMemo2(const std::string& line) { Memo2.AppendLine(line); }

void TForm1::AddComboBox2Item(const std::string& item) { ComboBox2.AppendEntry(item); }

bool TForm1::RadioButton2Checked() {
  return SendMessageW(RadioButton2, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TForm1::ShowErrorBox(const std::string& text) {
  // The survey's texts are whole code page 932 strings without NUL bytes.
  ::ShowErrorBox(ShownText(text));
}

void TForm1::RequestEnd() { PostEndRequest(); }

bool TForm1::RadioButton1Checked() {
  return SendMessageW(RadioButton1, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::u16string TForm1::ComboBox1Text() { return Utf16(ComboBox1.Text()); }

std::u16string TForm1::ComboBox2Text() { return Utf16(ComboBox2.Text()); }

void TForm1::SetComboBox1Text(const std::u16string& text) { ComboBox1.SetText(Wide(text)); }

void TForm1::RemoveComboBox1Entries() { ComboBox1.RemoveEntriesKeepText(); }

void TForm1::AppendComboBox1Entry(const std::string& entry) { ComboBox1.AppendEntry(entry); }

std::u16string TForm1::ComboBox1Entry0() { return Utf16(ComboBox1.Entry0()); }

void TForm1::ShowPlainBox(const std::string& text) { ::ShowPlainBox(WideFromUtf8(text)); }

void TForm1::ShowAboutBox() { AboutBox->ShowAndRaise(); }

void TForm1::ShowBusy(bool busy) {
  // The window does not react while a command waits on the ASPI layer.
  if (busy) {
    cursorBeforeBusy_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  } else {
    SetCursor(cursorBeforeBusy_);
  }
}
