// The process-wide error register: one pending code (the lowest posted wins) and a
// posted-once mask, so an error repeated in a loop produces one alert until re-armed.
// Codes 0..31 have a once-bit; codes outside that range never touch the mask.
// Posted from the main thread and the cooperative worker; shown from the main idle loop.
#pragma once

#include <cstdint>

enum ErrorCode : int {
  kErrorNone = 0,
  kErrorOutOfMemory = 7,         // "not enough memory ... to draw the requested graph"
  kErrorSymbolFontMissing = 10,  // "The Symbol font is not available. ..."
  kErrorFloatingPointLimits = 11,
  kErrorNoOpenGL = 14,           // "We recommend that you install OpenGL. ..." (shown at start-up)
  kErrorTransparencyMemory = 17,
  kErrorIntegrationServer = 18,  // "Sorry, Quorvalis was unable to connect to the internet integral server."
  kErrorUnrecognisedData = 20,   // "Sorry, Quorvalis does not recognize this ..."
  kErrorResultTooLarge = 27,     // a Math command stopped at its size bound
  kErrorUnreadableClipboard = 28,  // "Sorry, the text on the clipboard is not a formula ..."
};

struct ErrorRegister {
  std::uint32_t postedMask = 0;  // bit c: code c posted and not re-armed
  int pending = 0;               // code waiting to be shown; 0 none
};
ErrorRegister& ErrorRegisterGlobals();
void ResetErrorRegister();

// Ignored when the code's once-bit is set or a code <= this one is pending; otherwise the
// code becomes pending and its once-bit is set. Codes <= 0 are ignored. Returns the code.
int PostError(int code);
// When `code` is pending it is dropped; in any case its once-bit is cleared.
void ClearPendingError(int code);
// Re-arms the code: it can be posted and shown again.
void ClearErrorPosted(int code);
// true when a code is pending.
bool HasPendingError();
// The pending code, 0 for none.
int PendingError();
// true when the code's once-bit is set (false for codes outside 0..31).
bool IsErrorPosted(int code);

// When a code is pending and the application is in front: clears the pending code and hands
// it to the presenter (start-up installs the message alert, which sets the arrow cursor and
// shows the code's message); the once-bit stays. Without a presenter the code is cleared
// unseen. In the background nothing changes.
void ShowPendingError();
using PendingErrorPresenter = void (*)(int code);
void SetPendingErrorPresenter(PendingErrorPresenter show);
// true when this application is the active one (the window layer's flag; headless true).
bool IsFrontProcess();
