#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "filtering/FilterProposals.h"
#include "filtering/ui/ShownText.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace tarnwell {

class TEmail;
class TFilter;
class TFilterList;
class TPgMessages;

// Runs the dialog of the filter's kind on it, for a new filter or not; true on OK, with the
// filter written back.
using TEditFilter = std::function<bool(TFilter& filter, bool isNew)>;

// "New Filter Wizard": a filter proposed from a message's sender, subject, text or headers, or
// the countries its Received hosts lie in blocked. Without a message it only asks for the kind
// and opens that kind's dialog on an empty filter.
class TFilterWizardDlg : public QDialog {
  Q_OBJECT

 public:
  enum class TOutcome { Cancelled, Filter, Countries };
  // The pages in the order of the stack.
  enum TPage { pgType, pgSender, pgSubject, pgText, pgCountry, pgHeader, pgFinished };

  static constexpr int kMinimumWidth = 429;
  static constexpr int kMinimumHeight = 290;
  // The binary value under the settings key that keeps the size: width and height, 32 bits each.
  static constexpr const char* kSizeValue = "NewFilterWizardSize";

  // `message` may be none. Countries are blocked in the country table of `filters`; no filter is
  // added to it.
  TFilterWizardDlg(const TEmail* message, TFilterList& filters, TEditFilter editFilter,
                   QWidget* parent = nullptr);
  ~TFilterWizardDlg() override;

  // "&Help" runs this; without it the button is disabled.
  void SetHelp(std::function<void()> help);
  // Runs the wizard modally.
  TOutcome Run();
  [[nodiscard]] TOutcome Outcome() const { return outcome_; }
  // The new filter, after the outcome Filter; none otherwise.
  [[nodiscard]] std::unique_ptr<TFilter> TakeFilter();
  [[nodiscard]] const TFilter* Filter() const { return filter_.get(); }
  // Positions in the country table of the countries blocked, after the outcome Countries.
  [[nodiscard]] const std::vector<int>& BlockedCountries() const { return blocked_; }
  [[nodiscard]] TPage CurrentPage() const;

  // Stores the size, whatever the result.
  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildTypePage();
  QWidget* BuildSenderPage();
  QWidget* BuildSubjectPage();
  QWidget* BuildTextPage();
  QWidget* BuildCountryPage();
  QWidget* BuildHeaderPage();
  QWidget* BuildFinishedPage();
  QWidget* NewPage(TPage page, const QString& question);

  void Back();
  void Next();
  void Advanced();
  // Hides the wizard and runs the kind's dialog on the filter, whose answer ends the wizard.
  void RunKindDialog();
  // Leaves the type page for the chosen kind's page, with a new filter of that kind.
  void StartKind(TFilterBase base);
  // Fills the filter from the kind page showing.
  void FillFilter();
  void ShowPage(TPage page);
  void UpdateButtons();
  [[nodiscard]] bool PageComplete() const;
  [[nodiscard]] std::optional<TFilterBase> ChosenBase() const;

  void FillSenderLines();
  void FillHeaderRows();
  // Puts the value of the current header row into `edValue`, all selected.
  void TakeHeaderRow();
  // The selected bytes of the subject, text or value edit; empty when nothing is selected.
  [[nodiscard]] std::string Selected(TPage page) const;
  // Cuts the selection of the subject, text or value edit back to what a pattern holds, from
  // its start.
  void LimitSelection(QObject* edit);
  static void SelectIn(QPlainTextEdit* edit, int anchor, int position);
  void SelectValue(int start, int end);

  void RestoreSize();
  void StoreSize() const;

  TFilterList& filters_;
  TEditFilter editFilter_;
  std::function<void()> help_;
  TFilterProposals proposals_;
  std::unique_ptr<TFilter> filter_;
  TOutcome outcome_ = TOutcome::Cancelled;
  std::vector<int> blocked_;
  std::vector<TProposedHeader> headerRows_;
  TShownText subject_;
  TShownText text_;
  TShownText value_;

  QStackedWidget* pages_ = nullptr;
  std::array<QRadioButton*, kFilterBaseCount> choices_{};
  QListWidget* senders_ = nullptr;
  QCheckBox* domain_ = nullptr;
  QPlainTextEdit* subjectEdit_ = nullptr;
  QPlainTextEdit* textEdit_ = nullptr;
  QListWidget* countries_ = nullptr;
  QListWidget* headers_ = nullptr;
  QCheckBox* addresses_ = nullptr;
  QLineEdit* valueEdit_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* advanced_ = nullptr;
  QPushButton* helpButton_ = nullptr;
};

// What "Add a filter" did, for its caller to bring the windows up to date.
struct TFilterFromMessage {
  // The filter added to the filter list: the Filters page shows it, and the Live Mail is
  // classified again with it. None when no filter was made.
  TFilter* Added = nullptr;
  // Countries were blocked: the Filters page's country tab shows them.
  bool CountriesBlocked = false;
};

// Runs the wizard on `message` (or none) over `parent` and adds the filter it made to `filters`.
// Raises when the filter list cannot be written.
TFilterFromMessage AddFilterFromMessage(const TEmail* message, TFilterList& filters,
                                        const TEditFilter& editFilter,
                                        const std::function<void()>& help, QWidget* parent);
// "Add a filter" of the Live Mail and Killed Mail pages: the wizard on the page's current
// message.
TFilterFromMessage AddFilterFromPage(TPgMessages& page, TFilterList& filters,
                                     const TEditFilter& editFilter,
                                     const std::function<void()>& help = {});

}  // namespace tarnwell
