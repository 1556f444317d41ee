#pragma once

#include <QColor>
#include <QLabel>
#include <functional>

/// A label or picture that acts on a left click, optionally changing its text
/// colour while the mouse is over it (a web link).
class ClickLabel : public QLabel {
 public:
  explicit ClickLabel(QWidget* parent = nullptr);

  std::function<void()> OnClick;

  /// Text colours at rest and under the mouse.
  void SetLinkColours(const QColor& normal, const QColor& hover);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void SetTextColour(const QColor& colour);

  QColor normal_;
  QColor hover_;
};
