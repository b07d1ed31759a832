#include "filtering/ui/DlgTextFlt.h"

namespace tarnwell {

TTextFltDlg::TTextFltDlg(TFilter& filter, QWidget* parent)
    : TSubjectFltDlg(filter, QStringLiteral("Message text filter"),
                     QStringLiteral("If message text..."), kTextConditions, parent) {}

}  // namespace tarnwell
