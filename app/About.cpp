#include "app/About.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "app/ClickLabel.h"
#include "app/JpegImage.h"
#include "app/Links.h"
#include "app/Texts.h"
#include "platform/Desktop.h"

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("frmAbout");
  setWindowTitle(QString("About ") + Texts::kProgramTitle);
  setFixedSize(kWidth, kHeight);

  auto* logo = new QLabel(this);
  logo->setObjectName("Image2");
  logo->setGeometry(20, 20, 64, 64);
  logo->setPixmap(QPixmap::fromImage(LoadJpeg(":/pictures/about.jpg")));

  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(100, 22, 240, 22);
  QFont bold = Label1->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.3);
  Label1->setFont(bold);

  auto* version = new QLabel(Texts::kAboutVersion, this);
  version->setObjectName("lVersion");
  version->setGeometry(100, 50, 240, 18);

  lbEAddress = new ClickLabel(this);
  lbEAddress->setObjectName("lbEAddress");
  lbEAddress->setGeometry(100, 72, 240, 18);
  lbEAddress->setText(QString(Links::kHomePage).remove("https://"));
  lbEAddress->SetLinkColours(Qt::blue, Qt::red);
  lbEAddress->OnClick = [] { desktop::OpenUrl(Links::kHomePage); };

  auto* donate1 = new QLabel(Texts::kAboutDonate1, this);
  donate1->setObjectName("lDonate1");
  donate1->setGeometry(20, 110, 330, 18);
  auto* donate2 = new QLabel(Texts::kAboutDonate2, this);
  donate2->setObjectName("lDonate2");
  donate2->setGeometry(20, 128, 330, 18);

  Image3 = new ClickLabel(this);
  Image3->setObjectName("Image3");
  Image3->setGeometry(134, 160, 92, 26);
  Image3->setPixmap(QPixmap::fromImage(LoadJpeg(":/pictures/donate.jpg")));
  Image3->OnClick = [] { desktop::OpenUrl(Links::kDonation); };

  bOK = new QPushButton("&OK", this);
  bOK->setObjectName("bOK");
  bOK->setGeometry(142, 212, 75, 27);
  connect(bOK, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmAbout::showEvent(QShowEvent* event) {
  Label1->setText(Texts::kProgramTitle);
  if (QWidget* owner = parentWidget()) {
    const QRect area = owner->geometry();
    setGeometry(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2, width(), height());
  }
  QDialog::showEvent(event);
}
