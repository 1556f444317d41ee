#include "app/Segmo.h"

#include "app/Texts.h"

TfrmSegmo::TfrmSegmo(QWidget* parent) : QDialog(parent) {
  setObjectName("frmSegmo");
  setWindowTitle(Texts::kSegmoCaption);
  setFixedSize(kClientWidth, kClientHeight);
}
