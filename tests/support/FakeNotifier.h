#pragma once

#include <QStringList>

#include "app/Notifier.h"

/// Records the desktop notifications the windows send while it lives.
class FakeNotifier : public Notifier {
 public:
  FakeNotifier() { Notifier::Install(this); }
  ~FakeNotifier() override { Notifier::Install(nullptr); }
  void Notify(const QString& summary, const QString& body) override { sent << summary + ": " + body; }
  QStringList sent;
};
