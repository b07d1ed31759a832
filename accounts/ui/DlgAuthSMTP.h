#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tarnwell {

class TSMTPInfo;

// "Advanced options": the outgoing server's login. OK writes it straight into the account's
// outgoing-server settings, so cancelling the properties dialog afterwards keeps it.
class TAuthSTMPDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TAuthSTMPDlg(TSMTPInfo& info, QWidget* parent = nullptr);

  void accept() override;

 private:
  void AuthClicked(bool on);

  TSMTPInfo& info_;
  QCheckBox* chkAuth_;
  QLabel* lblUser_;
  QLineEdit* edUser_;
  QLabel* lblPassword_;
  QLineEdit* edPassword_;
  QCheckBox* chkSPA_;
};

}  // namespace tarnwell
