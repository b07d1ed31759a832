#pragma once

namespace tarnwell {

// The busy gate: keeps a mail check (kind 1) and the user interface's commands (kind 2) from
// overlapping. Holders of the same kind nest freely.
class TSynchronization {
 public:
  enum : int { skCheck = 1, skUserInterface = 2 };

  void Enter(int kind);
  void Leave();
  // Forces the gate free.
  void Reset();
  [[nodiscard]] bool IsFree() const { return count_ == 0; }
  [[nodiscard]] int Kind() const { return kind_; }
  [[nodiscard]] int Count() const { return count_; }
  // Returns at once when the gate is held by `kind`; otherwise lets events run until it is
  // free or the program is ending.
  void WaitWhileBusy(int kind);
  void WaitAndEnter(int kind);

 private:
  int kind_ = 0;
  int count_ = 0;
};

}  // namespace tarnwell
