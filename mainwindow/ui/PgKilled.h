#pragma once

#include "mainwindow/ui/PgMessages.h"

namespace tarnwell {

// The Killed Mail page: the local copies of the killed messages, which can be rescued.
class TPgKilled : public TPgMessages {
  Q_OBJECT

 public:
  TPgKilled(TAccountList& accounts, QWidget* parent = nullptr);

  // "Rescue message": the rescue dialogs on the selected messages.
  void Rescue();

 protected:
  [[nodiscard]] TEmailList& ListOf(TAccount& account) const override;
  void DeleteMessages(const std::vector<int>& positions) override;
  void UpdatePageCommands() override;

 private:
  QPushButton* rescue_ = nullptr;
};

}  // namespace tarnwell
