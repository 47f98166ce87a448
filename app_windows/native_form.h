// The window on Windows without Qt: a dialog made from the Qt window's form
// (form_description.h), laid out in its pixels, and a thin view of the
// window's behaviour (window_core) like the Qt window.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "form_description.h"
#include "resource.h"
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
  INT_PTR Command(int id, int code);
  void MakeFonts();
  void Layout();
  void SetLinkBold(bool bold);
  void PlaceLink();
  int Scaled(int pixels) const { return MulDiv(pixels, dpi_, 96); }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  HWND List(TList list) const { return Item(list == TList::Port ? IDC_PORT : IDC_FREQUENCY); }

  // The window as its behaviour and the run see it.
  void SetText(const std::string& text) override;
  void SetColor(TColor color) override;
  TColor ButtonFace() const override;
  int Position() const override;
  void SetPosition(int position) override;
  bool Ticked() const override;
  std::string ShownText(TList list) const override;
  int FindItem(TList list, const std::string& text) const override;
  void SelectItem(TList list, int index) override;
  void SetTicked(bool ticked) override;
  void EnableModeButtons(bool enabled) override;
  TFocus Focused() const override;
  void Focus(TFocus control) override;
  void SetStatusTip(const std::string& tip) override;
  void PlaceAt(std::optional<int> left, std::optional<int> top) override;
  std::optional<window_core::TPoint> NormalPlace() const override;
  void ShowErrorBox(const std::string& caption, const std::string& text) override;
  void Close() override;
  void Finish() override;

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
