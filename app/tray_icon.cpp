#include "app/tray_icon.h"

#include "platform/message_loop.h"

namespace zarn {

namespace {

// The mouse-key bits of a mouse message's first parameter.
TShiftState ShiftFromKeys(std::uintptr_t keys) {
  TShiftState shift = 0;
  if (keys & 0x0001) shift |= ssLeft;
  if (keys & 0x0002) shift |= ssRight;
  if (keys & 0x0004) shift |= ssShift;
  if (keys & 0x0008) shift |= ssCtrl;
  if (keys & 0x0010) shift |= ssMiddle;
  return shift;
}

}  // namespace

TTrayIcon::TTrayIcon(TForm& owner, const HostFactory& factory)
    : owner_(owner), host_(factory(*this)) {}

TTrayIcon::~TTrayIcon() {
  if (loaded_ && !owner_destroyed_) owner_.ReplaceWindowProc(std::move(previous_proc_));
  hint_.clear();
  if (active_ && loaded_) host_->Notify(platform::NotifyIconOperation::kDelete, "");
}

void TTrayIcon::Loaded() {
  previous_proc_ =
      owner_.ReplaceWindowProc([this](const platform::WindowMessage& m) { return OwnerWndProc(m); });
  loaded_ = true;
  if (active_) {
    active_ = false;
    SetActive(true);
  }
}

void TTrayIcon::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  if (!loaded_) return;
  if (active_) {
    HideOwner();
    host_->Notify(platform::NotifyIconOperation::kAdd, TipText());
  } else {
    host_->Notify(platform::NotifyIconOperation::kDelete, TipText());
  }
}

void TTrayIcon::SetHint(std::string hint) {
  hint_ = std::move(hint);
  if (active_ && loaded_) host_->Notify(platform::NotifyIconOperation::kModify, TipText());
}

std::string TTrayIcon::TipText() const { return hint_.substr(0, platform::kTrayTipLength); }

void TTrayIcon::HideOwner() {
  owner_.Hide();
  owner_.Window().HideTaskbarButton();
}

std::intptr_t TTrayIcon::OwnerWndProc(const platform::WindowMessage& message) {
  if (owner_destroyed_) return previous_proc_(message);
  if (message.message == platform::kWmDestroy) {
    owner_destroyed_ = true;
    return previous_proc_(message);
  }
  if (message.message == platform::kWmSysCommand) {
    const std::uintptr_t command = message.wparam & 0xFFF0;
    if (command == platform::kScMinimize) {
      const std::intptr_t result = previous_proc_(message);
      HideOwner();
      return result;
    }
    if (command == platform::kScClose && NoClose && active_) {
      HideOwner();
      return 0;
    }
  }
  return previous_proc_(message);
}

std::intptr_t TTrayIcon::HandleMessage(const platform::WindowMessage& message) {
  if (message.message != platform::kTrayCallbackMessage) return host_->DefaultHandling(message);
  cursor_ = host_->CursorPos();
  const TShiftState shift = ShiftFromKeys(message.wparam);
  switch (static_cast<std::uint32_t>(message.lparam)) {
    case platform::kWmMouseMove:
      if (OnMouseMove) OnMouseMove(*this, shift, cursor_.x, cursor_.y);
      break;
    case platform::kWmLButtonDown:
      MouseDown(TMouseButton::mbLeft, shift);
      break;
    case platform::kWmLButtonUp:
      ClickAndUp(TMouseButton::mbLeft, shift);
      break;
    case platform::kWmLButtonDblClk:
      DoubleClick(TMouseButton::mbLeft, shift);
      break;
    case platform::kWmRButtonDown:
      MouseDown(TMouseButton::mbRight, shift);
      if (PopUpMenu) {
        if (OnPopUp) OnPopUp(*this);
        platform::MessageLoop::ProcessMessages();
        PopUpMenu(*this, cursor_);
      }
      break;
    case platform::kWmRButtonUp:
      ClickAndUp(TMouseButton::mbRight, shift);
      break;
    case platform::kWmRButtonDblClk:
      DoubleClick(TMouseButton::mbRight, shift);
      break;
    case platform::kWmMButtonDown:
      MouseDown(TMouseButton::mbMiddle, shift);
      break;
    case platform::kWmMButtonUp:
      ClickAndUp(TMouseButton::mbMiddle, shift);
      break;
    case platform::kWmMButtonDblClk:
      DoubleClick(TMouseButton::mbMiddle, shift);
      break;
    default:
      break;
  }
  return 0;
}

void TTrayIcon::MouseDown(TMouseButton button, TShiftState shift) {
  if (OnMouseDown) OnMouseDown(*this, button, shift, cursor_.x, cursor_.y);
}

void TTrayIcon::ClickAndUp(TMouseButton button, TShiftState shift) {
  if (OnClick) OnClick(*this);
  if (OnMouseUp) OnMouseUp(*this, button, shift, cursor_.x, cursor_.y);
}

void TTrayIcon::DoubleClick(TMouseButton button, TShiftState shift) {
  if (OnDblClick) OnDblClick(*this);
  MouseDown(button, shift | ssDouble);
}

}  // namespace zarn
