// The Debug dialog's registers: D0-D7, A0-A7, PC, SR with its bits spelled
// out, USP and SSP. Values that changed since the last stop are marked; a
// double-click edits a register in hex.
#pragma once

#include <QListWidget>
#include <functional>

#include "cpu/cpu_state.h"

namespace pellux {

class RegisterView : public QListWidget {
 public:
  // `edited` runs after the user has changed a register.
  RegisterView(QWidget* parent, CpuState& cpu, std::function<void()> edited);

  // The lines from the registers, those that differ from `previous` marked.
  void Refill(const CpuState& previous);
  // Whether a line is marked as changed.
  bool IsMarked(int row) const;

 private:
  CpuState& cpu_;
  std::function<void()> edited_;
};

}  // namespace pellux
