#include "app/Joiner.h"

#include "app/Texts.h"

TfrmJoiner::TfrmJoiner(QWidget* parent) : QDialog(parent) {
  setObjectName("frmJoiner");
  setWindowTitle(Texts::kJoinerCaption);
  setFixedSize(kClientWidth, kClientHeight);
}
