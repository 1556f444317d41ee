#pragma once

#include <functional>

/// Common base of the engine's components, so that events can name their sender.
class TComponent {
 public:
  TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  virtual ~TComponent() = default;
};

/// Event handlers are called on the window thread with the component that raised them.
using TNotifyEvent = std::function<void(TComponent* Sender)>;
