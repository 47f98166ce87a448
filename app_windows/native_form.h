// The window on Windows without Qt: a dialog from the program's resources,
// laid out in pixels as the Qt window's form, and a thin view of the window's
// behaviour (window_core) like the Qt window.
#pragma once

#include <string>
#include <vector>

#include "win32.h"
#include "window_logic.h"

class TNativeForm final : private window_core::TWindowView {
 public:
  TNativeForm() = default;
  ~TNativeForm();
  TNativeForm(const TNativeForm&) = delete;
  TNativeForm& operator=(const TNativeForm&) = delete;

  // Makes the window and applies the stored settings. False, after saying
  // why, when a stored setting cannot be used.
  bool Create(HINSTANCE instance);
  HWND Handle() const { return dialog_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK LinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR form);
  static LRESULT CALLBACK PortListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR form);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void MakeFonts();
  void Layout();
  bool ApplyStoredSettings();
  void CloseQuery();
  void ShowPortTip();
  void SetLinkBold(bool bold);
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  int FrequencyIndex() const;

  // The window as its behaviour and the run see it.
  void SetText(const std::string& text) override;
  void SetColor(TColor color) override;
  TColor ButtonFace() const override;
  int Position() const override;
  void SetPosition(int position) override;
  bool Ticked() const override;
  int PortIndex() const override;
  std::string ClockText() const override;
  void EnableModeButtons(bool enabled) override;
  TFocus Focused() const override;
  void Focus(TFocus control) override;
  void SetStatusTip(const std::string& tip) override;
  void Close() override;

  HWND dialog_ = nullptr;
  HWND tips_ = nullptr;
  HBRUSH statusBrush_ = nullptr;
  COLORREF statusColor_ = 0;
  HFONT formFont_ = nullptr, boldFont_ = nullptr, linkFont_ = nullptr, linkBoldFont_ = nullptr;
  bool linkHot_ = false;
  std::string statusTip_, portTip_;
  HWND portList_ = nullptr;              // the port box's drop-down list
  std::vector<std::string> portTips_;    // what each of its items opens, read as it opens
  int hoveredPortItem_ = -1;
  int dpi_ = 96;
  window_core::TWindowLogic logic_{*this};
};

// "3.58MHz" or the text shown when it is no item's: what the toolkit's
// combo box shows, the item index as the stored settings see it.
int ComboItemIndex(HWND combo);
