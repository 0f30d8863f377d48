// Save/restore pairs; see port_save.h. A clip is restored by handing the saved region back to
// the port (no copy), which is what makes the restore infallible.
#include "graphics/port_save.h"

#include "kernel/memory/memory_budget.h"
#include "platform/draw/shapes.h"

bool SaveClipRect(ClipSave* record, const QDRect& r) {
  record->saved = nullptr;
  Port* port = GetPort();
  if (!port) return true;
  RgnHandle narrowed = NewRgn();
  if (narrowed && RectRgn(narrowed, r)) {
    record->saved = port->clip;
    port->clip = narrowed;
    return true;
  }
  DisposeRgn(narrowed);
  if (!ClipRect(r)) SetEmptyRgn(port->clip);
  return false;
}

void RestoreClip(ClipSave* record) {
  Port* port = GetPort();
  if (port && record->saved) {
    DisposeRgn(port->clip);
    port->clip = record->saved;
  } else if (port) {
    ClipRect(port->portRect);
  } else {
    DisposeRgn(record->saved);
  }
  record->saved = nullptr;
}

void SaveAndSetGWorld(GWorldSave* record, GWorldPtr gw) {
  GetGWorld(&record->port, &record->device);
  SetGWorld(gw, nullptr);
}

void RestoreGWorld(const GWorldSave* record) { SetGWorld(record->port, record->device); }

PenState* SavePenState() {
  auto* saved = static_cast<PenState*>(AllocMemory(sizeof(PenState)));
  if (saved) GetPenState(saved);
  return saved;
}

void RestorePenState(PenState* saved) {
  if (!saved) return;
  SetPenState(*saved);
  FreeMemory(saved);
}

void SaveGWorldLockPixels(PixelsSave* record) {
  record->gw = GetPort();
  record->state = GetPixelsState(record->gw);
  record->failed = !LockPixels(record->gw);
}

void RestorePixelsState(const PixelsSave* record) { SetPixelsState(record->gw, record->state); }
