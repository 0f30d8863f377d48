// The message alert: shows a numbered message of the application's table through the window
// layer's sink, or captures it when none is installed (headless runs and tests). Start-up
// makes it the error register's presenter of pending errors.
#pragma once

#include <string>
#include <vector>

struct CapturedAlert {
  int code;
  std::string text;
};

// Shows one alert; "\r" in the text is a line break.
using MessageAlertSink = void (*)(int code, const char* text);

// Shows the message of `code` through the sink (or captures it); for code 17 also re-arms
// the code. Returns false, showing nothing, for a code without a message.
bool ShowMessageAlert(int code);
void SetMessageAlertSink(MessageAlertSink sink);
const std::vector<CapturedAlert>& CapturedAlerts();
void ClearCapturedAlerts();

// Start-up: pending errors are shown by setting the arrow cursor and calling ShowMessageAlert.
void InstallMessageAlertPresenter();

// Tests: no sink, nothing captured.
void ResetMessageAlertForTests();
