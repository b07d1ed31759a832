#pragma once

#include "filtering/ui/DlgSubjectFlt.h"

namespace tarnwell {

// "Message text filter": as the subject filter's dialog, with the conditions a message text
// filter can test.
class TTextFltDlg : public TSubjectFltDlg {
  Q_OBJECT

 public:
  explicit TTextFltDlg(TFilter& filter, QWidget* parent = nullptr);
};

}  // namespace tarnwell
