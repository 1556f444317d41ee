#pragma once

#include <QDialog>

/// The Joiner & Mixer window, which appends or mixes two files of one format.
class TfrmJoiner : public QDialog {
 public:
  static constexpr int kClientWidth = 520;
  static constexpr int kClientHeight = 176;

  explicit TfrmJoiner(QWidget* parent);
};
