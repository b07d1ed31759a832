#pragma once

#include <QDialog>

namespace tarnwell {

class TActionGroup;
class TFilter;

// "Multiple filters": one action, and its recipients, for several filters at once, chosen on a
// scratch filter that carries them; OK writes them into it.
class TMultipleFltDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TMultipleFltDlg(TFilter& scratch, QWidget* parent = nullptr);

  void accept() override;

 private:
  TFilter& scratch_;
  TActionGroup* action_;
};

}  // namespace tarnwell
