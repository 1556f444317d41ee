#pragma once

#include <QDialog>

/// The Segment Cut window, which removes a list of ranges from one file and rejoins the rest.
class TfrmSegmo : public QDialog {
 public:
  static constexpr int kClientWidth = 427;
  static constexpr int kClientHeight = 364;

  explicit TfrmSegmo(QWidget* parent);
};
