#pragma once

namespace tarnwell {

class TPopUpDlg;

// Fills the notice with what a batch of three accounts might bring, for pictures of it.
void FillSampleBatch(TPopUpDlg& dialog);

}  // namespace tarnwell
