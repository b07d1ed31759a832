#include "mainwindow/ui/PageParts.h"

#include <QLabel>
#include <QPushButton>

#include "shell/Settings.h"

namespace tarnwell {

namespace {

constexpr int kButtonWidth = 120;

}  // namespace

QLabel* NewPageCaption(const QString& text, QWidget* parent) {
  auto* caption = new QLabel(text, parent);
  caption->setObjectName(QStringLiteral("pnlCaption"));
  caption->setTextFormat(Qt::PlainText);
  caption->setAutoFillBackground(true);
  caption->setBackgroundRole(QPalette::Dark);
  caption->setForegroundRole(QPalette::BrightText);
  QFont font = caption->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.4);
  caption->setFont(font);
  caption->setContentsMargins(0, 4, 0, 4);
  return caption;
}

QPushButton* NewPageButton(const char* name, const QString& caption, const QString& hint,
                           QWidget* column) {
  auto* button = new QPushButton(caption, column);
  button->setObjectName(QString::fromLatin1(name));
  button->setProperty("hint", hint);
  button->setFixedWidth(kButtonWidth);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

void ShowPageHints(const QWidget& column) {
  const bool hints = Settings().ShowHints;
  for (QPushButton* button : column.findChildren<QPushButton*>())
    button->setToolTip(hints ? button->property("hint").toString() : QString());
}

}  // namespace tarnwell
