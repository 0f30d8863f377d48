// The rows' messages: their sources read afresh, the ones laid out, and the pace of the looks.
#include "document/row_messages.h"

#include "document/document_record.h"
#include "graphs/core/compute_worker.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/threads/timers.h"

RowMessages::~RowMessages() { GrowArrayFree(shown_); }

const char* RowMessages::Current(int32_t row) const {
  if (row == alertRow_ && alert_ != nullptr) return alert_;
  if (row < 0 || row >= document_->rows.count) return nullptr;
  const EquationRow& r = document_->rows.data[row];
  if (r.resultMessage != 0) return GraphResultMessage(r.resultMessage);
  if (!document_->graphsBuilt) return nullptr;
  if (const char* note = HiddenViewNote(&document_->viewSet, r.graphRow)) return note;
  if (ComputeSuspended()) return row < shown_.count ? shown_.data[row] : nullptr;
  const int32_t status = RowGraphStatus(&document_->viewSet, r.graphRow);
  return status != 0 ? GraphResultMessage(status) : nullptr;
}

const char* RowMessages::Shown(int32_t row) const {
  return row >= 0 && row < shown_.count ? shown_.data[row] : Current(row);
}

const char* RowMessages::Lay(int32_t row) {
  const char* message = Current(row);
  if (shown_.count == row && !GrowArrayAppend(shown_, message)) shown_.count = 0;
  return message;
}

bool RowMessages::Changed(int32_t rows) const {
  if (shown_.count != rows) return true;
  for (int32_t i = 0; i < rows; ++i) {
    if (Current(i) != shown_.data[i]) return true;
  }
  return false;
}

void RowMessages::ShowAlert(const char* text, int32_t row) {
  alert_ = text;
  alertRow_ = row;
}

bool RowMessages::TakeAlert() {
  const bool shown = alert_ != nullptr;
  alert_ = nullptr;
  return shown;
}

bool RowMessages::TakeLookDue(bool settled, uint32_t now) {
  if (!stale_ || ComputeSuspended()) return false;
  if (!settled && now - lastLook_ < TicksToTimerUnits(kTicksPerSecond / 10)) return false;
  stale_ = false;
  lastLook_ = now;
  return true;
}
