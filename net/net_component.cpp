#include "net/net_component.h"

#include "common/text.h"
#include "net/socket_stack.h"

namespace zarn {

TNetComponent::TNetComponent() {
  TSocketStack::Acquire();
}

TNetComponent::~TNetComponent() {
  TSocketStack::Release();
}

std::string TNetComponent::StatusText(TNetStatus status, const std::string& argument) {
  switch (status) {
    case TNetStatus::statusResolving:
      return FormatMessage("Resolving hostname %s.", {argument});
    case TNetStatus::statusConnecting:
      return FormatMessage("Connecting to %s.", {argument});
    case TNetStatus::statusConnected:
      return "Connected.";
    case TNetStatus::statusDisconnecting:
      return FormatMessage("Disconnecting from %s.", {argument});
    case TNetStatus::statusDisconnected:
      return "Not connected.";
    case TNetStatus::statusText:
      return argument;
  }
  return argument;
}

void TNetComponent::DoStatus(TNetStatus status, const std::string& argument) {
  if (OnStatus) OnStatus(*this, status, StatusText(status, argument));
}

void TNetComponent::DoWorkBegin(TWorkMode mode, std::int64_t count_max) {
  const auto m = static_cast<int>(mode);
  if (++work_nesting_[m] == 1) {
    work_total_[m] = 0;
    if (OnWorkBegin) OnWorkBegin(*this, mode, count_max);
  }
}

void TNetComponent::DoWork(TWorkMode mode, std::int64_t count) {
  const auto m = static_cast<int>(mode);
  if (work_nesting_[m] >= 1) {
    work_total_[m] += count;
    if (OnWork) OnWork(*this, mode, work_total_[m]);
  }
}

void TNetComponent::DoWorkEnd(TWorkMode mode) {
  const auto m = static_cast<int>(mode);
  if (work_nesting_[m] == 1) {
    if (OnWorkEnd) OnWorkEnd(*this, mode);
    --work_nesting_[m];
  }
}

}  // namespace zarn
