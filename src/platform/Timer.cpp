#include "platform/Timer.h"

#include <QThread>
#include <QTimer>

#include <QCoreApplication>

// The Qt timer runs on its owner's thread for the TTimer's whole life and is only ever touched
// there; Enabled merely decides whether a tick reaches OnTimer. So another thread may enable
// the timer without calling into Qt at all.
TTimer::TTimer() {
  if (QCoreApplication::instance() == nullptr) return;
  FTimer = std::make_unique<QTimer>();
  FOwner = QThread::currentThread();
  QObject::connect(FTimer.get(), &QTimer::timeout, [this] {
    if (FEnabled && OnTimer) OnTimer(*this);
  });
  FTimer->start(static_cast<int>(FInterval.load()));
}

TTimer::~TTimer() = default;

void TTimer::SetEnabled(bool enabled) {
  const bool was = FEnabled.exchange(enabled);
  // On the owner's thread an enabling restarts the count, so the first tick is a full
  // interval away, as on the platform.
  if (enabled && !was && OnOwnerThread()) FTimer->start(static_cast<int>(FInterval.load()));
}

void TTimer::SetInterval(uint32_t milliseconds) {
  FInterval = milliseconds;
  if (OnOwnerThread()) FTimer->start(static_cast<int>(milliseconds));
}

bool TTimer::OnOwnerThread() const { return FTimer && QThread::currentThread() == FOwner; }
