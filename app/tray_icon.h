// The notification-area icon component. While the program runs it stands for the hidden main
// window: a double-click opens the window, minimising hides it again, and with NoClose set the
// close box only hides it. It sees every message of its owner window first.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/form.h"
#include "platform/window.h"

namespace zarn {

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Shift-state bits: keys and buttons held, and the double-click flag.
using TShiftState = std::uint32_t;
inline constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16,
                             ssMiddle = 32, ssDouble = 64;

class TTrayIcon : public platform::MessageTarget {
 public:
  using HostFactory = std::function<std::unique_ptr<platform::TrayIconHost>(MessageTarget&)>;
  using NotifyEvent = std::function<void(TTrayIcon& sender)>;
  using MouseEvent =
      std::function<void(TTrayIcon& sender, TMouseButton button, TShiftState shift, int x, int y)>;
  using MouseMoveEvent = std::function<void(TTrayIcon& sender, TShiftState shift, int x, int y)>;
  using PopUpMenuProc = std::function<void(TTrayIcon& sender, platform::Point at)>;

  TTrayIcon(TForm& owner, const HostFactory& factory);
  ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  // Called once the owner has set the stored properties: takes over the owner's window procedure
  // and, when Active, keeps the owner hidden and adds the icon.
  void Loaded();

  bool Active() const { return active_; }
  void SetActive(bool active);
  const std::string& Hint() const { return hint_; }
  void SetHint(std::string hint);
  // The tip the platform receives: the hint cut to 63 characters.
  std::string TipText() const;

  bool NoClose = false;
  PopUpMenuProc PopUpMenu;  // shown on a right-button press when set

  NotifyEvent OnClick, OnDblClick, OnPopUp;
  MouseEvent OnMouseDown, OnMouseUp;
  MouseMoveEvent OnMouseMove;

  // The icon's callback window procedure.
  std::intptr_t HandleMessage(const platform::WindowMessage& message) override;

 private:
  std::intptr_t OwnerWndProc(const platform::WindowMessage& message);
  void HideOwner();
  void MouseDown(TMouseButton button, TShiftState shift);
  void ClickAndUp(TMouseButton button, TShiftState shift);
  void DoubleClick(TMouseButton button, TShiftState shift);

  TForm& owner_;
  std::unique_ptr<platform::TrayIconHost> host_;
  TForm::WindowProc previous_proc_;
  bool owner_destroyed_ = false;
  bool active_ = true;
  bool loaded_ = false;
  std::string hint_;
  platform::Point cursor_;
};

}  // namespace zarn
