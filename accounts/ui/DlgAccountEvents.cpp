#include "accounts/ui/DlgAccountEvents.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>
#include <exception>

#include "accounts/AccountFields.h"
#include "accounts/ui/DialogButtons.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/Sound.h"
#include "shell/ProgramFolders.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/DlgMessage.h"

namespace tarnwell {

namespace {

// The texts of one event's row; the rows show spam first.
struct TRowTexts {
  int event;
  const char* sound;
  const char* listen;
  const char* browseSound;
  const char* app;
  const char* browseProgram;
};

constexpr TRowTexts kRows[] = {
    {evSpam, "&Play a sound when you  receive spam", "L&isten", "&Browse...",
     "&Run a program when you receive spam", "&Browse..."},
    {evPossibleSpam, "P&lay a sound when you receive possible spam", "Li&sten", "B&rowse...",
     "R&un a program when you receive possible spam", "Br&owse..."},
    {evFriendlyMail, "Pl&ay a sound when you receive mail from a friend", "Lis&ten", "Br&owse...",
     "Ru&n a program when you receive mail from a friend", "Bro&wse..."},
    {evNewMail, "Pla&y a sound when you receive other mail", "List&en", "Bro&wse...",
     "Run &a program when you receive other mail", "Brow&se..."},
};

// Where the program picker starts when the event has no program of its own.
const char* const kProgramsFolder = "/usr/bin";

QString Named(const char* prefix, int event) {
  return QString::fromLatin1(prefix) + QString::fromLatin1(TAccount::kEventKeys[event]);
}

// Points `dialog` at the file `path`, or at `folder` when there is none.
void StartAt(QFileDialog& dialog, const std::string& path, const std::string& folder) {
  if (Trim(path).empty()) {
    dialog.setDirectory(DisplayString(folder));
    return;
  }
  QFileInfo file(DisplayString(path));
  if (file.isRelative()) file.setFile(QDir(DisplayString(folder)).filePath(file.filePath()));
  dialog.setDirectory(file.absolutePath());
  dialog.selectFile(file.fileName());
}

// The chosen file, or an empty text when the user cancelled.
QString ChosenFile(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

}  // namespace

TAccountEventsDlg::TAccountEventsDlg(TEmailEvents& events, TQtMessageDialogs& dialogs,
                                     QWidget* parent)
    : QDialog(parent),
      target_(events),
      events_(events),
      dialogs_(dialogs),
      tabs_(new QTabWidget),
      helpButton_(new QPushButton(QStringLiteral("&Help"))) {
  setWindowTitle(QStringLiteral("Sound and Program Settings"));
  setModal(true);

  auto* sounds = new QGroupBox(QStringLiteral("Sounds"));
  auto* soundGrid = new QGridLayout(sounds);
  soundGrid->setColumnStretch(0, 1);
  soundGrid->setVerticalSpacing(10);
  auto* programs = new QGroupBox(QStringLiteral("Programs"));
  auto* programList = new QVBoxLayout(programs);
  programList->setSpacing(4);

  for (size_t i = 0; i < rows_.size(); ++i) {
    const TRowTexts& texts = kRows[i];
    const TEventParam& event = events_[static_cast<size_t>(texts.event)];
    TRow& row = rows_[i];
    row.Event = texts.event;

    row.Sound = new QCheckBox(QString::fromLatin1(texts.sound));
    row.Sound->setObjectName(Named("chkSound", texts.event));
    row.Listen = new QPushButton(QString::fromLatin1(texts.listen));
    row.Listen->setObjectName(Named("btnListen", texts.event));
    row.BrowseSound = new QPushButton(QString::fromLatin1(texts.browseSound));
    row.BrowseSound->setObjectName(Named("btnBrowseSound", texts.event));
    row.Sound->setChecked(event.SoundEnabled);
    row.Listen->setEnabled(event.SoundEnabled);
    row.BrowseSound->setEnabled(event.SoundEnabled);
    soundGrid->addWidget(row.Sound, static_cast<int>(i), 0);
    soundGrid->addWidget(row.Listen, static_cast<int>(i), 1);
    soundGrid->addWidget(row.BrowseSound, static_cast<int>(i), 2);

    row.App = new QCheckBox(QString::fromLatin1(texts.app));
    row.App->setObjectName(Named("chkApp", texts.event));
    row.Program = new QComboBox;
    row.Program->setObjectName(Named("cbApp", texts.event));
    row.Program->setEditable(true);
    // The dialog keeps the items itself; Qt's own insertion and completion would add to them.
    row.Program->setInsertPolicy(QComboBox::NoInsert);
    row.Program->setCompleter(nullptr);
    row.Program->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    row.Program->addItem(QString::fromLatin1(kEmailProgram));
    if (event.AppEnabled && !event.UseEmailApp) {
      row.Program->addItem(DisplayString(event.Application));
      row.Program->setCurrentIndex(1);
    }
    row.BrowseProgram = new QPushButton(QString::fromLatin1(texts.browseProgram));
    row.BrowseProgram->setObjectName(Named("btnBrowseApp", texts.event));
    row.App->setChecked(event.AppEnabled);
    row.Program->setEnabled(event.AppEnabled);
    row.BrowseProgram->setEnabled(event.AppEnabled);
    auto* line = new QHBoxLayout;
    line->setContentsMargins(20, 0, 0, 8);
    line->addWidget(row.Program);
    line->addWidget(row.BrowseProgram);
    programList->addWidget(row.App);
    programList->addLayout(line);

    connect(row.Sound, &QCheckBox::clicked, this, [this, &row](bool on) {
      events_[static_cast<size_t>(row.Event)].SoundEnabled = on;
      row.Listen->setEnabled(on);
      row.BrowseSound->setEnabled(on);
    });
    connect(row.App, &QCheckBox::clicked, this, [this, &row](bool on) {
      events_[static_cast<size_t>(row.Event)].AppEnabled = on;
      row.Program->setEnabled(on);
      row.BrowseProgram->setEnabled(on);
    });
    connect(row.Listen, &QPushButton::clicked, this,
            [this, &row] { PlaySoundFile(events_[static_cast<size_t>(row.Event)].Sound); });
    connect(row.BrowseSound, &QPushButton::clicked, this, [this, &row] { BrowseSound(row); });
    connect(row.BrowseProgram, &QPushButton::clicked, this, [this, &row] { BrowseProgram(row); });
    connect(row.Program, &QComboBox::editTextChanged, this,
            [this, &row](const QString& text) { ProgramTextChanged(row, text); });
  }
  programList->addStretch();

  auto* soundPage = new QWidget;
  soundPage->setObjectName(QStringLiteral("tsSounds"));
  auto* soundLayout = new QVBoxLayout(soundPage);
  soundLayout->addWidget(sounds);
  soundLayout->addStretch();
  auto* programPage = new QWidget;
  programPage->setObjectName(QStringLiteral("tsPrograms"));
  auto* programLayout = new QVBoxLayout(programPage);
  programLayout->addWidget(programs);
  tabs_->setObjectName(QStringLiteral("pcEvents"));
  tabs_->addTab(soundPage, QStringLiteral("Sounds"));
  tabs_->addTab(programPage, QStringLiteral("Programs"));
  tabs_->setCurrentIndex(0);

  connect(helpButton_, &QPushButton::clicked, this, [this] {
    if (help_) help_();
  });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->addWidget(tabs_);
  layout->addLayout(DialogButtons(*this, helpButton_));
}

void TAccountEventsDlg::SetHelp(std::function<void()> help) {
  help_ = std::move(help);
  helpButton_->setEnabled(static_cast<bool>(help_));
}

void TAccountEventsDlg::ProgramTextChanged(TRow& row, const QString& text) {
  TEventParam& event = events_[static_cast<size_t>(row.Event)];
  // Choosing the mail program leaves the event's own program in the list to go back to.
  if (text == row.Program->itemText(0)) {
    event.UseEmailApp = true;
    return;
  }
  event.UseEmailApp = false;
  event.Application = text.toStdString();
  SetProgramItem(row, text);
}

void TAccountEventsDlg::SetProgramItem(TRow& row, const QString& text) {
  QComboBox& combo = *row.Program;
  const QSignalBlocker blocker(&combo);
  // Changing the selected item rewrites the text being typed: the cursor stays where it was.
  const int cursor = combo.lineEdit()->cursorPosition();
  if (combo.count() < 2)
    combo.addItem(text);
  else
    combo.setItemText(1, text);
  combo.setCurrentIndex(1);
  combo.lineEdit()->setCursorPosition(cursor);
}

void TAccountEventsDlg::BrowseSound(const TRow& row) {
  try {
    TEventParam& event = events_[static_cast<size_t>(row.Event)];
    QFileDialog dialog(this, QStringLiteral("Locate"));
    dialog.setObjectName(QStringLiteral("dlgLocate"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("Sound files (*.wav *.ogg *.oga)"), QStringLiteral("All files (*)")});
    StartAt(dialog, event.Sound, TProgramFolders::SoundsFolder());
    const QString chosen = ChosenFile(dialog);
    if (!chosen.isEmpty()) event.Sound = chosen.toStdString();
  } catch (const std::exception& error) {
    dialogs_.ShowWarning(error.what(), this);
  }
}

void TAccountEventsDlg::BrowseProgram(TRow& row) {
  try {
    TEventParam& event = events_[static_cast<size_t>(row.Event)];
    QFileDialog dialog(this, QStringLiteral("Locate"));
    dialog.setObjectName(QStringLiteral("dlgLocate"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Programs (*)"));
    // Programs have no name pattern here: the picker lists the files the user may run.
    dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
    StartAt(dialog, event.UseEmailApp ? std::string() : ProgramOfCommand(event.Application, true),
            kProgramsFolder);
    const QString chosen = ChosenFile(dialog);
    if (chosen.isEmpty()) return;
    // A path with blanks is quoted, so that the launcher takes it whole.
    const QString program =
        chosen.contains(QLatin1Char(' ')) ? QLatin1Char('"') + chosen + QLatin1Char('"') : chosen;
    event.Application = program.toStdString();
    event.UseEmailApp = false;
    SetProgramItem(row, program);
  } catch (const std::exception& error) {
    dialogs_.ShowWarning(error.what(), this);
  }
}

void TAccountEventsDlg::accept() {
  for (const TRow& row : rows_) {
    TEventParam& event = events_[static_cast<size_t>(row.Event)];
    const QString text = row.Program->currentText();
    if (event.AppEnabled && (IsBlankField(text.toStdString()) || text == row.Program->itemText(0)))
      event.UseEmailApp = true;
  }
  target_ = events_;
  QDialog::accept();
}

}  // namespace tarnwell
