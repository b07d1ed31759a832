#pragma once

#include <QPoint>
#include <QString>
#include <functional>

class QWidget;

namespace tarnwell::test {

// Runs `act` from the event loop once `ready` holds.
void When(std::function<bool()> ready, std::function<void()> act);

// Runs `act` from the event loop once a modal window other than `current` is active: a test
// answers a dialog that it opened with exec() this way, without waiting any set time.
void WhenModal(std::function<void(QWidget* dialog)> act, QWidget* current = nullptr);

// Clicks the child button named `name` of `window`; fails the test when there is none.
void Click(QWidget* window, const QString& name);

// A double click with the left button at `at` in `widget`, as the window system reports one.
void DoubleClick(QWidget* widget, QPoint at);

}  // namespace tarnwell::test
