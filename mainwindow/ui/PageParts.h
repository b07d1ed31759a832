#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace tarnwell {

// The band at the top of a page that names it: large bold type on the window's dark colour.
[[nodiscard]] QLabel* NewPageCaption(const QString& text, QWidget* parent);

// A button of a page's command column, of the column's width and never focused, keeping `hint`
// for `ShowPageHints`; the page places it.
[[nodiscard]] QPushButton* NewPageButton(const char* name, const QString& caption,
                                         const QString& hint, QWidget* column);

// The hints of the page buttons below `column` as their tooltips while the setting `ShowHints`
// is on, none while it is off.
void ShowPageHints(const QWidget& column);

}  // namespace tarnwell
