#include "shell/ui/AboutBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarnwell {

namespace {

constexpr int kIconSize = 64;
constexpr int kMinimumWidth = 320;

}  // namespace

TAboutBox::TAboutBox(const QString& versionText, const QIcon& icon, QWidget* owner)
    : QDialog(owner) {
  setWindowTitle(QStringLiteral("Halvora Tarnwell"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setModal(true);

  auto* name = new QLabel(QStringLiteral("Halvora Tarnwell"), this);
  name->setObjectName(QStringLiteral("lblProgram"));
  QFont nameFont = name->font();
  nameFont.setBold(true);
  nameFont.setPointSizeF(nameFont.pointSizeF() * 1.5);
  name->setFont(nameFont);
  auto* version = new QLabel(versionText, this);
  version->setObjectName(QStringLiteral("lblVersion"));
  version->setTextFormat(Qt::PlainText);
  version->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* texts = new QVBoxLayout;
  texts->addStretch();
  texts->addWidget(name);
  texts->addWidget(version);
  texts->addStretch();

  auto* top = new QHBoxLayout;
  top->setSpacing(16);
  if (!icon.isNull()) {
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("imgIcon"));
    image->setPixmap(icon.pixmap(kIconSize, kIconSize));
    image->setFixedSize(kIconSize, kIconSize);
    top->addWidget(image, 0, Qt::AlignVCenter);
  }
  top->addLayout(texts, 1);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  ok->setMinimumWidth(75);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 12);
  layout->setSpacing(16);
  layout->addLayout(top);
  layout->addLayout(buttons);
  setFixedSize(sizeHint().expandedTo(QSize(kMinimumWidth, 0)));
}

}  // namespace tarnwell
