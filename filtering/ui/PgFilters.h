#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "filtering/FilterTypes.h"
#include "mainwindow/ui/WindowPage.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QTreeView;

namespace tarnwell {

class TCountryListModel;
class TFilter;
class TFilterList;
class TFilterListModel;
class TFindDlg;
class TOtherFiltersTab;
class TQtMessageDialogs;

// The dialogs the page edits filters in: a filter's own dialog (true on OK, the filter written
// back; `isNew` for one that is still to be added), and the Multiple filters dialog on a scratch
// filter carrying an action and its recipients (true on OK). A command whose editor is not set
// stays disabled.
struct TFilterEditors {
  std::function<bool(TFilter& filter, bool isNew, QWidget* parent)> EditFilter;
  std::function<bool(TFilter& scratch, QWidget* parent)> EditActionOf;
};

// The Filters page: a tab per kind of filter the user edits (Sender, Subject, Message text,
// Header), the Country tab with the country table and the country filter's action, and the Other
// tab with the built-in header filters; the commands on the selected filters; the Find dialog.
class TFiltersPg : public TWindowPage {
  Q_OBJECT

 public:
  // The tabs of `pcFilters`, in order.
  enum TTab : int { tbSender, tbSubject, tbText, tbCountry, tbHeader, tbOther };
  static constexpr int kTabCount = 6;

  TFiltersPg(TFilterList& filters, TQtMessageDialogs& dialogs, TFilterEditors editors,
             QWidget* parent = nullptr);
  ~TFiltersPg() override;

  // TWindowPage.
  void Refresh() override;
  [[nodiscard]] bool DeleteEnabled() const override;
  void Delete() override;
  void Add() override;
  void Properties() override;
  void SelectAll() override;

  // Rebuilds the tab of `kind` (fkCountry: from the country table), keeping the selected filters
  // selected.
  void RefreshKind(uint8_t kind);
  // Rebuilds the Sender, Subject, Message text and Header tabs.
  void RefreshAll();
  // The first row from `start` on of the current tab whose filter's search text holds `text`,
  // letter case aside; -1 when none does.
  [[nodiscard]] int FindFilter(std::string_view text, int start) const;
  // Selects `row` of the current tab alone and scrolls it into view.
  void ShowRow(int row);
  // Asks, then deletes the selected filters.
  void Remove();
  // Opens the Find dialog below "Standard filters", with the first row selected.
  void Find();
  void SelectTab(int tab);

  [[nodiscard]] int CurrentTab() const;
  // The kind the current tab lists: fkSender ... fkHeader, fkCountry, or fkNone on Other.
  [[nodiscard]] uint8_t CurrentKind() const;
  [[nodiscard]] TOriginSet ShownOrigins() const { return origins_; }
  // The selected filters of the current kind tab, in the order shown.
  [[nodiscard]] std::vector<TFilter*> SelectedFilters() const;
  // The list of a kind tab (fkSender ... fkHeader) or of the Country tab.
  [[nodiscard]] QTreeView* List(uint8_t kind) const;
  [[nodiscard]] TFilterListModel* Model(uint8_t kind) const;
  [[nodiscard]] TCountryListModel* CountryModel() const { return countryModel_; }
  [[nodiscard]] QMenu* ListMenu() const { return listMenu_; }
  // None until Find first opens it.
  [[nodiscard]] TFindDlg* FindDialog() const { return findDialog_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A kind tab's list and its rows.
  struct TKindTab {
    uint8_t kind = fkNone;
    QTreeView* list = nullptr;
    TFilterListModel* model = nullptr;
  };

  void BuildLayout();
  QPushButton* AddButton(const char* name, const QString& caption, const QString& hint);
  // The tab of `kindTabs_[slot]`.
  QWidget* BuildKindTab(size_t slot);
  // Gives the tab's column of patterns the room the other columns leave, at least its own width.
  void FitWideColumn(size_t slot);
  QWidget* BuildCountryTab();
  void BuildMenu();
  [[nodiscard]] const TKindTab* CurrentKindTab() const;
  [[nodiscard]] const TKindTab* KindTab(uint8_t kind) const;
  [[nodiscard]] std::vector<TFilter*> SelectedOf(const TKindTab& tab) const;
  // Fills the tab's rows from the filter list, then selects the filters of `selected` that are
  // still shown, and the first row (or with `lastRow` the last) when none is.
  void Fill(const TKindTab& tab, const std::vector<TFilter*>& selected, bool lastRow = false);
  // Selects exactly the rows of the filters of `filters` that the tab shows, makes the first of
  // them current and scrolls it into view; returns how many there are.
  int SelectFilters(const TKindTab& tab, const std::vector<TFilter*>& filters);
  void ToggleOrigins(TOriginSet origins, bool shown);
  void EditOne(TFilter& filter);
  void EditMany(const std::vector<TFilter*>& filters);
  void CountryActionChosen(int item);
  void ShowCountryAction();
  void UpdateCommands();
  void ApplyDisplaySettings();
  [[nodiscard]] std::vector<int> IndexesOf(const std::vector<TFilter*>& filters) const;

  TFilterList& filters_;
  TQtMessageDialogs& dialogs_;
  TFilterEditors editors_;
  TOriginSet origins_ = OriginBit(orSoft) | OriginBit(orUpdate) | OriginBit(orUser);
  std::array<TKindTab, 4> kindTabs_;
  QTabWidget* pcFilters_ = nullptr;
  QTreeView* lvCountry_ = nullptr;
  TCountryListModel* countryModel_ = nullptr;
  QComboBox* cbCountry_ = nullptr;
  TOtherFiltersTab* otherTab_ = nullptr;
  QWidget* buttons_ = nullptr;
  QPushButton* sbAdd_ = nullptr;
  QPushButton* sbRemove_ = nullptr;
  QPushButton* sbProperties_ = nullptr;
  QPushButton* sbFind_ = nullptr;
  QPushButton* sbYours_ = nullptr;
  QPushButton* sbStandard_ = nullptr;
  QMenu* listMenu_ = nullptr;
  QAction* miRemove_ = nullptr;
  QAction* miProperties_ = nullptr;
  QAction* miSelectAll_ = nullptr;
  TFindDlg* findDialog_ = nullptr;
};

}  // namespace tarnwell
