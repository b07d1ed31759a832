#include "tests/ui/UiDriver.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

namespace tarnwell::test {

void When(std::function<bool()> ready, std::function<void()> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll,
                   [poll, ready = std::move(ready), act = std::move(act)] {
                     if (!ready()) return;
                     poll->stop();
                     poll->deleteLater();
                     act();
                   });
  poll->start(0);
}

void WhenModal(std::function<void(QWidget* dialog)> act, QWidget* current) {
  When(
      [current] {
        QWidget* modal = QApplication::activeModalWidget();
        return modal && modal != current && modal->isVisible();
      },
      [act = std::move(act)] { act(QApplication::activeModalWidget()); });
}

void Click(QWidget* window, const QString& name) {
  auto* button = window->findChild<QAbstractButton*>(name);
  ASSERT_NE(button, nullptr) << name.toStdString();
  QTest::mouseClick(button, Qt::LeftButton);
}

void DoubleClick(QWidget* widget, QPoint at) {
  // QTest's own double click leaves out the press the window system sends before it.
  const QPointF point(at);
  const QEvent::Type sequence[] = {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                   QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease};
  for (const QEvent::Type type : sequence) {
    const bool down = type != QEvent::MouseButtonRelease;
    QMouseEvent event(type, point, widget->mapToGlobal(point), Qt::LeftButton,
                      down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
  }
}

}  // namespace tarnwell::test
