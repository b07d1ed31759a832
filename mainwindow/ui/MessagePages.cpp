#include "mainwindow/ui/MessagePages.h"

#include <QClipboard>
#include <QGuiApplication>

#include "mainwindow/ui/PgInbox.h"
#include "mainwindow/ui/PgKilled.h"
#include "message/SvcSystem.h"
#include "shell/ui/DisplayText.h"

namespace tarnwell {

std::unique_ptr<TMessagePage> MakeMessagePage(int index, TAccountList& accounts, QWidget* parent) {
  switch (index) {
    case piInbox: return std::make_unique<TPgInbox>(accounts, parent);
    case piKilled: return std::make_unique<TPgKilled>(accounts, parent);
    default: return nullptr;
  }
}

TMessagePageFactory MessagePageFactory(TMessagePageActions actions) {
  return [actions = std::move(actions)](int index, TAccountList& accounts,
                                        QWidget* parent) -> std::unique_ptr<TMessagePage> {
    auto page = MakeMessagePage(index, accounts, parent);
    if (page) static_cast<TPgMessages&>(*page).SetActions(actions);
    return page;
  };
}

void InstallSpadeClipboard() {
  SetClipboardSink([](const std::string& text) {
    QString shown = DisplayString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QGuiApplication::clipboard()->setText(shown);
  });
}

}  // namespace tarnwell
