#pragma once

#include "mainwindow/ui/PgMessages.h"

namespace tarnwell {

// The Live Mail page: the messages that stay on the server, with their status images, the
// retrieval of a message whose text was not fetched, and the selection of the spam.
class TPgInbox : public TPgMessages {
  Q_OBJECT

 public:
  TPgInbox(TAccountList& accounts, QWidget* parent = nullptr);

  // Ctrl+S: every message of status "Spam".
  void SelectSpam() override;
  // The preview menu's "&Retrieve": the account downloads the selected messages.
  void Retrieve();

 protected:
  [[nodiscard]] TEmailList& ListOf(TAccount& account) const override;
  void DeleteMessages(const std::vector<int>& positions) override;
  void UpdatePageCommands() override;

 private:
  QAction* retrieve_ = nullptr;
};

}  // namespace tarnwell
