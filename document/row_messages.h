// The messages a document window shows under its rows, and when it looks at them again. A row shows
// an alert given while it was active, else its result message, else, while the graphs are built,
// the note that its graph went to a view the document does not draw, else its graph's status
// message once that graph is complete (RowGraphStatus), as the headless program reports them.
// Invariants: the messages laid out are the ones the rows' frames were measured with; while a
// graph's Compute lies suspended no graph is asked (asking may evaluate, which would abandon it),
// so the messages laid out then stay.
#pragma once

#include <cstdint>

#include "kernel/memory/growable_array.h"

struct DocumentRecord;

class RowMessages {
 public:
  explicit RowMessages(DocumentRecord* document) : document_(document) {}
  ~RowMessages();
  RowMessages(const RowMessages&) = delete;
  RowMessages& operator=(const RowMessages&) = delete;

  // The message row `row` shows now, null for none.
  const char* Current(int32_t row) const;
  // As last laid out (Current for a row not laid out).
  const char* Shown(int32_t row) const;
  // A layout of the rows: Lay records each row's message in turn, from row 0, and returns it.
  void BeginLayout() { shown_.count = 0; }
  const char* Lay(int32_t row);
  // Some of the `rows` rows would show another message than the one laid out.
  bool Changed(int32_t rows) const;

  // An alert (static text) under `row` until TakeAlert; TakeAlert says whether one was shown.
  void ShowAlert(const char* text, int32_t row);
  bool TakeAlert();

  // The graphs computed or were drawn: their statuses may have moved.
  void MarkStale() { stale_ = true; }
  bool Stale() const { return stale_; }
  // A look is due once stale, never in the middle of a graph's value, and then at once when the
  // graphs are `settled` (all complete and still) or else at most ten times a second (each look
  // asks every row's graph). True when due; the look is then taken as done.
  bool TakeLookDue(bool settled, uint32_t now);

 private:
  DocumentRecord* document_;
  const char* alert_ = nullptr;  // shown under row alertRow_
  int32_t alertRow_ = -1;
  GrowArray<const char*> shown_;  // each row's message as last laid out
  uint32_t lastLook_ = 0;         // timer units
  bool stale_ = false;
};
