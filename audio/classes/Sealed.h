#pragma once

#include <utility>

/// The form in which an input or output class is used: `Sealed<TWaveIn>`.
///
/// A worker thread may be calling into an input or output while it is being
/// destroyed. Its outputs must be stopped before any part of it goes, which
/// only the destructor of the most derived class can do; Sealed is that
/// class. Inputs and outputs declare a pure virtual SealedComponent() that
/// only Sealed implements, so a class that is not sealed cannot be created.
template <class Component>
class Sealed final : public Component {
 public:
  using Component::Component;
  ~Sealed() override { this->EndOfLife(); }

 private:
  void SealedComponent() override {}
};
