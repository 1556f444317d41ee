#pragma once

#include <QLabel>
#include <string>

#include "app/OffWindowThread.h"

/// A window's line that says how its last job ended ("Saved cut.mp3,
/// 00:02:10.250"); while the window is not the active one, the desktop is
/// told too.
class StatusLine : public QLabel {
 public:
  explicit StatusLine(QWidget* parent);
  /// Waits for the saved file's length being read, if it is.
  ~StatusLine() override;

  /// "Saved NAME, LENGTH": the length is what the saved file holds, read
  /// off the window's thread; the line says "Saved NAME" until it is known.
  void ShowSaved(const std::string& target);
  /// Any other line ("Saved 12 pieces in /music/album").
  void ShowText(const QString& text);
  /// What the line says in full.
  const QString& FullText() const { return full_; }

 protected:
  /// Cuts the line short again for its new width.
  void resizeEvent(QResizeEvent* event) override;

 private:
  /// Sets the line, and tells the desktop when the window is not in front.
  void Tell(const QString& text);
  /// Sets the line, keeping the whole of it in the tooltip when it is cut short.
  void SetLine(const QString& text);
  OffWindowThread reader_;  // reads the saved file's length
  bool closing_ = false;
  /// Bumped by each new line: an older file's length that arrives late is dropped.
  unsigned generation_ = 0;
  QString full_;
};
