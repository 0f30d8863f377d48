// The system clipboard's text, through SDL's clipboard: there only while SDL's video is running
// (a window is open); otherwise nothing is put and nothing is read. Main thread only.
#pragma once

// Puts a copy of the UTF-8 text on the system clipboard; false when there is no clipboard or it
// refused.
bool PutSystemClipboardText(const char* text);
// The clipboard's text now, or null when it is empty or there is none; valid until the next call.
const char* SystemClipboardText();
