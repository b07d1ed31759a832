#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

namespace tarnwell {

// The About box: the program's name and icon, the version text ("Version" and the four-part
// version) and OK. Modal, above every other window.
class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  // Without an icon the box shows none.
  explicit TAboutBox(const QString& versionText, const QIcon& icon = {}, QWidget* owner = nullptr);
};

}  // namespace tarnwell
