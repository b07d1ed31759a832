#pragma once

#include <memory>

#include "mainwindow/ui/MessagePage.h"
#include "mainwindow/ui/PgMessages.h"

namespace tarnwell {

// The Live Mail page for piInbox and the Killed Mail page for piKilled, without the handlers of
// TMessagePageActions; none for another index. A TMessagePageFactory.
[[nodiscard]] std::unique_ptr<TMessagePage> MakeMessagePage(int index, TAccountList& accounts,
                                                            QWidget* parent);

// A factory of the two pages with these handlers.
[[nodiscard]] TMessagePageFactory MessagePageFactory(TMessagePageActions actions);

// Makes the desktop's clipboard the place where `SendToSpade` puts a message (Alt+S on the
// message pages), with the line breaks of the desktop.
void InstallSpadeClipboard();

}  // namespace tarnwell
