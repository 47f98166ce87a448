#include "native_form.h"

// After windows.h (through native_form.h), which it needs.
#include <commctrl.h>

#include <vector>

#include "readable_colors.h"
#include "services.h"
#include "window_place.h"

namespace {

// Each kind of the form's controls as a Windows control: its class, style and
// extended style.
struct NativeKind {
  const char* windowClass;
  DWORD style, extendedStyle;
};
NativeKind NativeKindOf(const form::TControl& control) {
  using form::TKind;
  const DWORD tabStop = control.tabStop ? WS_TABSTOP : 0;
  switch (control.kind) {
    case TKind::Label: return {"STATIC", static_cast<DWORD>(SS_NOTIFY | (control.centred ? SS_CENTER : SS_LEFT)), 0};
    case TKind::Picture: return {"STATIC", static_cast<DWORD>(SS_NOTIFY | SS_BITMAP | SS_CENTERIMAGE), 0};
    case TKind::Button: return {"BUTTON", static_cast<DWORD>(BS_PUSHBUTTON | tabStop), 0};
    case TKind::CheckBox: return {"BUTTON", static_cast<DWORD>(BS_AUTOCHECKBOX | tabStop), 0};
    case TKind::DropDown: return {"COMBOBOX", static_cast<DWORD>(CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | tabStop), 0};
    case TKind::Edit: return {"EDIT", static_cast<DWORD>(ES_AUTOHSCROLL | (control.readOnly ? ES_READONLY : 0) | tabStop), WS_EX_CLIENTEDGE};
    case TKind::Progress: return {PROGRESS_CLASSA, static_cast<DWORD>(PBS_SMOOTH), 0};
  }
  return {"STATIC", 0, 0};
}

std::string WindowText(HWND window) {
  std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1);
  GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  return text.data();
}

std::string ItemText(HWND combo, int index) {
  const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR) return {};
  std::vector<char> text(static_cast<std::size_t>(length) + 1);
  SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

// Where the window stands when it is neither minimised nor maximised, in
// screen coordinates: a minimised window's own rectangle is -32000, -32000.
// Windows keeps the normal place in workspace coordinates, which are off by
// a taskbar at the top or the left.
POINT NormalPlaceOf(HWND window) {
  RECT now{};
  GetWindowRect(window, &now);
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (!GetWindowPlacement(window, &placement)) return {now.left, now.top};
  const RECT& normal = placement.rcNormalPosition;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoA(MonitorFromRect(&normal, MONITOR_DEFAULTTONEAREST), &monitor)) return {normal.left, normal.top};
  return {normal.left + monitor.rcWork.left - monitor.rcMonitor.left,
          normal.top + monitor.rcWork.top - monitor.rcMonitor.top};
}

// Adds a monitor's work area (the screen without the taskbar) to the list.
BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) {
    const RECT& work = info.rcWork;
    reinterpret_cast<std::vector<window_core::TRect>*>(list)->push_back(
        {work.left, work.top, work.right - work.left, work.bottom - work.top});
  }
  return TRUE;
}

std::vector<window_core::TRect> ScreenWorkAreas() {
  std::vector<window_core::TRect> areas;
  EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&areas));
  return areas;
}

HFONT DerivedFont(HFONT base, bool bold, bool underline) {
  LOGFONTA font{};
  GetObjectA(base, sizeof font, &font);
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfUnderline = underline ? TRUE : FALSE;
  return CreateFontIndirectA(&font);
}

const form::TControl& Control(int id) {
  for (const form::TControl& control : form::kControls) {
    if (control.id == id) return control;
  }
  return form::kControls[0];
}

}  // namespace

TNativeForm::~TNativeForm() {
  if (dialog_ != nullptr && IsWindow(dialog_)) DestroyWindow(dialog_);
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(statusBrush_), static_cast<HGDIOBJ>(formFont_), static_cast<HGDIOBJ>(boldFont_),
                         static_cast<HGDIOBJ>(linkFont_), static_cast<HGDIOBJ>(linkBoldFont_)}) {
    if (object != nullptr) DeleteObject(object);
  }
}

bool TNativeForm::Create(HINSTANCE instance) {
  dialog_ = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_FORM1), nullptr, DialogProc,
                               reinterpret_cast<LPARAM>(this));
  if (dialog_ == nullptr) return false;
  SendMessageA(dialog_, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 32, 32, 0)));
  SendMessageA(dialog_, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 16, 16, 0)));
  SetWindowTextA(dialog_, form::kTitle);
  // The controls in the form's order, which is the tab order.
  for (const form::TControl& control : form::kControls) {
    const NativeKind kind = NativeKindOf(control);
    CreateWindowExA(kind.extendedStyle, kind.windowClass, control.text, WS_CHILD | WS_VISIBLE | kind.style, 0, 0, 0,
                    0, dialog_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
    if (control.checked) CheckDlgButton(dialog_, control.id, BST_CHECKED);
    if (control.kind == form::TKind::Progress) SendMessageA(Item(control.id), PBM_SETRANGE32, 0, control.maximum);
  }
  SendMessageA(Item(IDC_IMAGE1), STM_SETIMAGE, IMAGE_BITMAP,
               reinterpret_cast<LPARAM>(LoadImageA(instance, MAKEINTRESOURCEA(IDB_LOGO), IMAGE_BITMAP, 0, 0, 0)));
  for (const char* item : form::kPortItems) {
    SendMessageA(Item(IDC_PORT), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  for (const char* item : form::kFrequencyItems) {
    SendMessageA(Item(IDC_FREQUENCY), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  SendMessageA(Item(IDC_PORT), CB_SETCURSEL, 0, 0);
  SendMessageA(Item(IDC_FREQUENCY), CB_SETCURSEL, 0, 0);
  SetWindowTextA(Item(IDC_LINKLABEL), window_core::kWebAddress);
  SetColor(ButtonFace());

  HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  MakeFonts();
  SetWindowSubclass(Item(IDC_LINKLABEL), LinkProc, 1, reinterpret_cast<DWORD_PTR>(this));

  // Tool tips for the status line (why a port did not open) and the port box
  // (what its number opens), asked for as they are shown.
  tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog_, nullptr, instance, nullptr);
  for (int id : {IDC_STATUS, IDC_PORT}) {
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog_;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(id));
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
  SendMessageA(tips_, TTM_SETMAXTIPWIDTH, 0, 400);

  // Each item of the port list says, as the mouse passes, what its number opens.
  COMBOBOXINFO box{};
  box.cbSize = sizeof box;
  if (GetComboBoxInfo(Item(IDC_PORT), &box) && box.hwndList != nullptr) {
    portList_ = box.hwndList;
    SetWindowSubclass(portList_, PortListProc, 2, reinterpret_cast<DWORD_PTR>(this));
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog_;
    tool.uId = reinterpret_cast<UINT_PTR>(portList_);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }

  Layout();
  try {
    logic_.Start();
  } catch (const std::exception& error) {
    logic_.ShowError(error.what());
    return false;
  }
  ShowWindow(dialog_, SW_SHOW);
  SetFocus(Item(IDC_CORVANEBUTTON));
  return true;
}

// The form's own font, MS Sans Serif 8, on every control, at the window's
// DPI: the template's "MS Shell Dlg" is a wider face on some systems, and
// cuts the captions.
void TNativeForm::MakeFonts() {
  for (HFONT* font : {&formFont_, &boldFont_, &linkFont_, &linkBoldFont_}) {
    if (*font != nullptr) DeleteObject(*font);
  }
  LOGFONTA face{};
  face.lfHeight = -MulDiv(8, dpi_, 72);
  face.lfWeight = FW_NORMAL;
  face.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(face.lfFaceName, "MS Sans Serif", LF_FACESIZE);
  formFont_ = CreateFontIndirectA(&face);
  for (HWND child = GetWindow(dialog_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), FALSE);
  }
  boldFont_ = DerivedFont(formFont_, true, false);
  linkFont_ = DerivedFont(formFont_, false, true);
  linkBoldFont_ = DerivedFont(formFont_, true, true);
  SendMessageA(Item(IDC_STATUS), WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), FALSE);
  SendMessageA(Item(IDC_LINKLABEL), WM_SETFONT, reinterpret_cast<WPARAM>(linkHot_ ? linkBoldFont_ : linkFont_), FALSE);
}

// The form's pixel places, at the window's DPI.
void TNativeForm::Layout() {
  RECT frame{0, 0, Scaled(form::kClientWidth), Scaled(form::kClientHeight)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_EXSTYLE)));
  SetWindowPos(dialog_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (const form::TControl& control : form::kControls) {
    // A drop-down combo box's height is its list's: the closed box keeps its own.
    const int height = control.kind == form::TKind::DropDown ? 200 : control.height;
    SetWindowPos(Item(control.id), nullptr, Scaled(control.left), Scaled(control.top), Scaled(control.width),
                 Scaled(height), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  PlaceLink();
}

void TNativeForm::SetLinkBold(bool bold) {
  SendMessageA(Item(IDC_LINKLABEL), WM_SETFONT, reinterpret_cast<WPARAM>(bold ? linkBoldFont_ : linkFont_), TRUE);
  PlaceLink();
}

// The link's own place, widened while its text in the font it has now
// would not fit, so that the address stays whole under the mouse.
void TNativeForm::PlaceLink() {
  const HWND link = Item(IDC_LINKLABEL);
  const std::string text = WindowText(link);
  SIZE extent{};
  HDC dc = GetDC(link);
  const HGDIOBJ before = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(link, WM_GETFONT, 0, 0)));
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, before);
  ReleaseDC(link, dc);
  const form::TControl& own = Control(IDC_LINKLABEL);
  const window_core::TRect place = window_core::LinkPlace({own.left, own.top, own.width, own.height},
                                                          form::kClientWidth, MulDiv(extent.cx, 96, dpi_) + 1);
  SetWindowPos(link, nullptr, Scaled(place.left), Scaled(place.top), Scaled(place.width), Scaled(place.height),
               SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(dialog_, nullptr, TRUE);  // the strip the wider link left
}

LRESULT CALLBACK TNativeForm::PortListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR data) {
  auto* form = reinterpret_cast<TNativeForm*>(data);
  if (message == WM_MOUSEMOVE) {
    const auto hit = static_cast<DWORD>(SendMessageA(list, LB_ITEMFROMPOINT, 0, lParam));
    const int item = HIWORD(hit) == 0 ? static_cast<int>(LOWORD(hit)) : -1;
    if (item != form->hoveredPortItem_) {
      form->hoveredPortItem_ = item;
      SendMessageA(form->tips_, TTM_POP, 0, 0);  // the next tip asks for the new item's text
    }
  }
  return DefSubclassProc(list, message, wParam, lParam);
}

LRESULT CALLBACK TNativeForm::LinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR data) {
  auto* form = reinterpret_cast<TNativeForm*>(data);
  if (message == WM_MOUSEMOVE && !form->linkHot_) {
    form->linkHot_ = true;
    form->SetLinkBold(true);
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, link, 0};
    TrackMouseEvent(&track);
  } else if (message == WM_MOUSELEAVE) {
    form->linkHot_ = false;
    form->SetLinkBold(false);
  }
  return DefSubclassProc(link, message, wParam, lParam);
}

INT_PTR CALLBACK TNativeForm::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    reinterpret_cast<TNativeForm*>(lParam)->dialog_ = dialog;
    return FALSE;  // the focus is set once the window is filled
  }
  auto* form = reinterpret_cast<TNativeForm*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (form == nullptr) return FALSE;
  // An exception must not cross Windows' frames: it is shown, and the
  // message loop goes on, as in the Qt window.
  INT_PTR handled = TRUE;
  form->logic_.Guarded([&] { handled = form->Handle(message, wParam, lParam); });
  return handled;
}

INT_PTR TNativeForm::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      return Command(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->code != TTN_GETDISPINFOA) return FALSE;
      auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
      const auto from = reinterpret_cast<HWND>(header->idFrom);
      if (from == Item(IDC_PORT)) portTip_ = window_core::PortTip(logic_.ItemIndex(TList::Port));
      if (from == portList_) {
        const auto item = static_cast<std::size_t>(hoveredPortItem_);
        portTip_ = hoveredPortItem_ >= 0 && item < portTips_.size() ? portTips_[item] : std::string();
      }
      const std::string& tip = from == Item(IDC_STATUS) ? statusTip_ : portTip_;
      info->lpszText = const_cast<char*>(tip.c_str());
      return TRUE;
    }
    case WM_CTLCOLOREDIT:  // the status line, editable as in the Qt window
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == Item(IDC_STATUS)) {
        SetBkColor(reinterpret_cast<HDC>(wParam), statusColor_);
        const TColor text = window_core::TextColorOn(
            {GetRValue(statusColor_), GetGValue(statusColor_), GetBValue(statusColor_)});
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(text.red, text.green, text.blue));
        return reinterpret_cast<INT_PTR>(statusBrush_);
      }
      if (reinterpret_cast<HWND>(lParam) == Item(IDC_LINKLABEL)) {
        auto color = [](int index) {
          const COLORREF c = GetSysColor(index);
          return TColor{GetRValue(c), GetGValue(c), GetBValue(c)};
        };
        const TColor link = window_core::LinkColorOn(color(COLOR_BTNFACE), color(COLOR_HOTLIGHT));
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(link.red, link.green, link.blue));
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      return FALSE;
    case WM_DPICHANGED: {
      // Moved to a screen of another DPI: the form at that DPI, where Windows suggests.
      dpi_ = HIWORD(wParam);
      MakeFonts();
      Layout();
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(dialog_, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return TRUE;
    }
    case WM_CLOSE:
      logic_.CloseQuery();
      return TRUE;
    case WM_QUERYENDSESSION: {
      // The session ends: the close as from the close box, the choices
      // saved. While the run's dialogue goes the answer is no; the window
      // then closes at the run's end, seconds later, and the end may go on.
      const HWND dialog = dialog_;
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, logic_.CloseQuery() ? TRUE : FALSE);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

INT_PTR TNativeForm::Command(int id, int code) {
  if (code == CBN_DROPDOWN && id == IDC_PORT) {
    portTips_ = window_core::PortTips();  // adapters come and go: read as the list opens
    hoveredPortItem_ = -1;
  } else if (code == CBN_SELCHANGE && id == IDC_PORT) {
    logic_.PortChosen(static_cast<int>(SendMessageA(Item(IDC_PORT), CB_GETCURSEL, 0, 0)));
  } else if (code == BN_CLICKED && id == IDC_CORVANEBUTTON) {
    logic_.RunMode("Corvane");
  } else if (code == BN_CLICKED && id == IDC_SMARTMOUSEBUTTON) {
    logic_.RunMode("SmartMouse");
  } else if (code == STN_DBLCLK && (id == IDC_LINKLABEL || id == IDC_IMAGE1)) {
    // The shell's default action for the address; its result is not examined.
    ShellExecuteA(nullptr, nullptr, window_core::kWebAddress, nullptr, nullptr, SW_SHOW);
  } else if (id == IDCANCEL) {
    logic_.CloseQuery();  // Escape, as the close box
  } else {
    return FALSE;
  }
  return TRUE;
}

void TNativeForm::SetText(const std::string& text) { SetWindowTextA(Item(IDC_STATUS), text.c_str()); }

void TNativeForm::SetColor(TColor color) {
  statusColor_ = RGB(color.red, color.green, color.blue);
  if (statusBrush_ != nullptr) DeleteObject(statusBrush_);
  statusBrush_ = CreateSolidBrush(statusColor_);
  InvalidateRect(Item(IDC_STATUS), nullptr, TRUE);
}

TColor TNativeForm::ButtonFace() const {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  return {GetRValue(face), GetGValue(face), GetBValue(face)};
}

int TNativeForm::Position() const { return static_cast<int>(SendMessageA(Item(IDC_PROGRESSBAR1), PBM_GETPOS, 0, 0)); }
void TNativeForm::SetPosition(int position) { SendMessageA(Item(IDC_PROGRESSBAR1), PBM_SETPOS, static_cast<WPARAM>(position), 0); }
bool TNativeForm::Ticked() const { return IsDlgButtonChecked(dialog_, IDC_ENABLERESETDELAY) == BST_CHECKED; }
void TNativeForm::SetTicked(bool ticked) { CheckDlgButton(dialog_, IDC_ENABLERESETDELAY, ticked ? BST_CHECKED : BST_UNCHECKED); }
std::string TNativeForm::ShownText(TList list) const { return WindowText(List(list)); }

int TNativeForm::FindItem(TList list, const std::string& text) const {
  const auto count = static_cast<int>(SendMessageA(List(list), CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    if (ItemText(List(list), i) == text) return i;  // CB_FINDSTRINGEXACT ignores case
  }
  return -1;
}

void TNativeForm::SelectItem(TList list, int index) {
  const HWND combo = List(list);
  const auto count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index >= 0 && index < count ? index : -1), 0);
  if (index < 0 || index >= count) SetWindowTextA(combo, "");
}

// Centred on the work area unless stored.
void TNativeForm::PlaceAt(std::optional<int> left, std::optional<int> top) {
  RECT work{}, window{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(dialog_, &window);
  const int width = window.right - window.left, height = window.bottom - window.top;
  const window_core::TRect frame{left.value_or((work.left + work.right - width) / 2),
                                 top.value_or((work.top + work.bottom - height) / 2), width, height};
  const window_core::TPoint place = window_core::ReachablePlace(frame, ScreenWorkAreas());
  SetWindowPos(dialog_, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::optional<window_core::TPoint> TNativeForm::NormalPlace() const {
  const POINT place = NormalPlaceOf(dialog_);
  return window_core::TPoint{place.x, place.y};
}

// Windows' message box, or the error box a test installed.
void TNativeForm::ShowErrorBox(const std::string& caption, const std::string& text) {
  if (const auto& box = platform::InstalledServices().errorBox) return box(caption, text);
  MessageBoxA(dialog_ != nullptr && IsWindowVisible(dialog_) ? dialog_ : nullptr, text.c_str(), caption.c_str(),
              MB_OK | MB_ICONERROR);
}

void TNativeForm::Finish() {
  DestroyWindow(dialog_);
  dialog_ = nullptr;
  PostQuitMessage(0);
}

void TNativeForm::EnableModeButtons(bool enabled) {
  EnableWindow(Item(IDC_CORVANEBUTTON), enabled);
  EnableWindow(Item(IDC_SMARTMOUSEBUTTON), enabled);
}

TNativeForm::TFocus TNativeForm::Focused() const {
  const HWND focused = GetFocus();
  if (focused == nullptr) return TFocus::Other;
  if (focused == Item(IDC_CORVANEBUTTON)) return TFocus::CorvaneButton;
  if (focused == Item(IDC_SMARTMOUSEBUTTON)) return TFocus::SmartMouseButton;
  return focused == Item(IDC_STATUS) ? TFocus::Status : TFocus::Other;
}

// As the dialog manager moves it, so that the buttons' default look follows.
void TNativeForm::Focus(TFocus control) {
  const int id = control == TFocus::CorvaneButton      ? IDC_CORVANEBUTTON
                 : control == TFocus::SmartMouseButton ? IDC_SMARTMOUSEBUTTON
                 : control == TFocus::Status           ? IDC_STATUS
                                                       : 0;
  if (id != 0) SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
}

void TNativeForm::SetStatusTip(const std::string& tip) { statusTip_ = tip; }
void TNativeForm::Close() { PostMessageA(dialog_, WM_CLOSE, 0, 0); }
