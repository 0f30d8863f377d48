// The message alert: shows a numbered message of the application's table through the sink the
// program installs once it can show one (the window's alert, the render program's standard
// error), or holds it while none is installed: a message of start-up (no OpenGL) comes before any
// sink. The next sink installed shows the held messages, in order, once. Start-up makes the alert
// the error register's presenter of pending errors.
#pragma once

#include <string>
#include <vector>

struct CapturedAlert {
  int code;
  std::string text;
};

// Shows one alert; "\r" in the text is a line break. The text is the message table's own and
// stays valid.
using MessageAlertSink = void (*)(int code, const char* text);

// Shows the message of `code` through the sink (or holds it); for code 17 also re-arms
// the code. Returns false, showing nothing, for a code without a message.
bool ShowMessageAlert(int code);
// Installs the sink (null: none, messages are held from then on); a sink is handed the messages
// held so far first, in the order they came, and they are held no longer.
void SetMessageAlertSink(MessageAlertSink sink);
// The messages held while no sink was installed (headless tests read them here).
const std::vector<CapturedAlert>& CapturedAlerts();
void ClearCapturedAlerts();

// Start-up: pending errors are shown by setting the arrow cursor and calling ShowMessageAlert.
void InstallMessageAlertPresenter();

// Tests: no sink, nothing held.
void ResetMessageAlertForTests();
