#pragma once

#include <QDialog>

class ClickLabel;
class QLabel;
class QPushButton;

/// The About box: program title, version, links to the home page and the
/// donation page.
class TfrmAbout : public QDialog {
 public:
  static constexpr int kWidth = 360;
  static constexpr int kHeight = 255;

  explicit TfrmAbout(QWidget* parent);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* Label1 = nullptr;
  ClickLabel* lbEAddress = nullptr;
  ClickLabel* Image3 = nullptr;
  QPushButton* bOK = nullptr;
};
