// Save/restore pairs around a stretch of drawing into the current port: its clip, the current
// port itself, the pen, and the pixel lock state. Every restore puts back exactly what its save
// took and needs no memory, so a restore cannot fail.
#pragma once

#include <cstdint>

#include "platform/draw/port.h"

struct ClipSave {
  RgnHandle saved;  // the port's own clip while the narrowed one is in place; null when refused
};
// Keeps the current port's clip region in the record and puts a new region of r in its place.
// False when memory is refused: the clip is then narrowed to r in place (emptied if even that
// is refused), so drawing still stays inside r, and RestoreClip opens the clip to the port.
bool SaveClipRect(ClipSave* record, const QDRect& r);
// Disposes the current port's clip and puts the saved region in its place.
void RestoreClip(ClipSave* record);

struct GWorldSave {
  CGrafPtr port;
  void* device;
};
void SaveAndSetGWorld(GWorldSave* record, GWorldPtr gw);
void RestoreGWorld(const GWorldSave* record);

// A counted pen record, or null when memory is refused (RestorePenState(null) does nothing).
PenState* SavePenState();
void RestorePenState(PenState* saved);

struct PixelsSave {
  GWorldPtr gw;
  uint8_t state;
  bool failed;
};
// Locks the current buffer's pixels, remembering their state.
void SaveGWorldLockPixels(PixelsSave* record);
void RestorePixelsState(const PixelsSave* record);
