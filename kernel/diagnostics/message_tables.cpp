// Message texts, byte-exact: note the doubled blanks after some full stops, the missing
// blank in code 8, the trailing blank of code 6 and the two carriage returns of 11 and 26.
#include "kernel/diagnostics/message_tables.h"

#include <cmath>
#include <cstring>

#include "kernel/text/string_helpers.h"

const char* const ErrorMessageTable[kErrorMessageCount] = {
    "",
    "Quorvalis requires MacOS System 8.6 or newer to run. Sorry.",
    "Your display device is incompatible with the Quorvalis.  Sorry.",
    "Direct Draw has failed for an unknown reason.  The Quorvalis must shut down.",
    "There is not enough memory to continue. To avoid crashing, it is necessary for the Quorvalis to quit now. "
    "Sorry.",
    "Memory is running low.  Quit some other applications.",
    "Sorry, there is not enough memory to open a new document. Closing other windows may help. ",
    "There is not enough memory available to draw the requested graph. Quitting other applications may enable "
    "the graph to be drawn.",
    "There is not enough memory available for this operation.Quitting other applications or closing other "
    "windows may help.",
    "Sorry, there is not enough memory for smooth graphics operations. Quitting other applications may improve "
    "the appearance of the Quorvalis.",
    "The Symbol font is not available. Mathematical symbols and formatting may not appear correctly. Please "
    "install the Symbol font before using the Quorvalis.",
    "The graph cannot be drawn properly because the expression exceeds the limits of IEEE double-precision "
    "64-bit floating point values.\r\rChoose Reset Graph from the Graph menu.",
    "",
    "That is not a valid filename.",
    "We recommend that you install OpenGL. It is not required but it will improve the performance of the "
    "Quorvalis.",
    "We recommend that you install the QuickDraw3D RAVE extension. It is not required but it will improve the "
    "performance of the Quorvalis.",
    "Can't create movie file.",
    "Sorry, there is not enough memory for rendering with transparency. Try quitting other applications or "
    "reducing the resolution of the graph. Then choose \"Use Transparency\" from the Graph Menu.",
    "Sorry, Quorvalis was unable to connect to the internet integral server.",
    "MacOS 8.5 with URL Access is needed to connect to the internet integral server.",
    "Sorry, Quorvalis does not recognize this file. It was either damaged or it is not a Quorvalis file.",
    "Sorry, Quorvalis was unable to open this file.",
    "Quorvalis was unable to save this file because the disk is full.",
    "Quorvalis was unable to save this file because the disk is locked.",
    "Sorry, Quorvalis was unable to save this file.",
    "",
    "This document cannot be opened because it was created by a newer version of Quorvalis.\r\rPlease visit "
    "the Quorvalis web site to download the latest version.",
    "Sorry, the result of this command would be too large. The formula was left as it was.",
    "Sorry, the text on the clipboard is not a formula Quorvalis can read.",
};

const char* const MessageTable[kMessageTableCount] = {
    "To exit the exponent, press the right arrow.",
    "To exit the fraction, press the right arrow.",
    "Use \"y\" instead of \"f(x)\".",
    "",
    "false",
    "true",
    "infinity",
    "not a number",
    "#",
    "= #",
    "x: #",
    "y: #",
    " ... #",
    "[false, true]",
    // Graph result messages 1..29.
    "Undefined in the region shown",
    "Undefined or infinite in the region shown",
    "Undefined in the domain shown",
    "Infinite in the domain shown",
    "Curve is outside the region shown",
    "Not satisfied anywhere",
    "Not satisfied in the region shown",
    "False everywhere",
    "False in the region shown",
    "Undefined or constant throughout the region shown",
    "Undefined or infinite for the coordinate ranges given",
    "Not satisfied in the coordinate ranges given",
    "No surface found in the coordinate ranges given",
    "Can't graph equations of this form",
    "Can't graph equations with question marks",
    "Parameter 't' can only be used in parametric curves",
    "Parameters 'u' and 'v' can only be used in parametric surfaces",
    "Can't graph equations using multiple coordinate systems",
    "Can't graph 2D inequalities in 3D",
    "Can't graph 2D vector plots in 3D",
    "A condition after the comma is not appropriate here",
    "No equation to graph. Try 'y = x'",
    "Can't parse condition after the comma",
    "Can't graph this in 3D",
    "Can't graph this in 4D",
    "Too many terms to sum at some points",
    "A definition used here refers to itself",
    "A function is given the wrong number of arguments",
    "Grows too large when its definitions and derivatives are worked out",
};

namespace {

// True when the whole text fitted.
bool CopyText(const char* text, char* dst, std::size_t cap) {
  return cap != 0 && text[CStringCopyBounded(dst, cap, text)] == '\0';
}

}  // namespace

const char* ErrorMessage(int code) {
  if (code <= 0 || code >= kErrorMessageCount) return nullptr;
  const char* text = ErrorMessageTable[code];
  return text[0] == '\0' ? nullptr : text;
}

const char* GraphResultMessage(int n) {
  if (n < 1 || n > kGraphResultCount) return nullptr;
  return GraphResultMessageTable[n];
}

bool CopyGraphResultMessage(char* dst, std::size_t cap, int n) {
  const char* text = GraphResultMessage(n);
  if (text == nullptr) {
    CopyText("", dst, cap);
    return false;
  }
  return CopyText(text, dst, cap);
}

bool CopyBooleanWord(int flag, char* dst, std::size_t cap) {
  return CopyText(MessageTable[flag != 0 ? kMessageTrue : kMessageFalse], dst, cap);
}

bool CopyBooleanRangeWord(double lower, double upper, char* dst, std::size_t cap) {
  int entry;
  if (std::isnan(lower) || std::isnan(upper) || (lower == 0 && upper == 0)) {
    entry = kMessageFalse;
  } else if (lower == 0) {
    entry = kMessageBooleanRange;
  } else {
    entry = kMessageTrue;
  }
  return CopyText(MessageTable[entry], dst, cap);
}

bool CopyInfinityWord(char* dst, std::size_t cap) { return CopyText(MessageTable[kMessageInfinity], dst, cap); }
bool CopyNotANumberWord(char* dst, std::size_t cap) { return CopyText(MessageTable[kMessageNotANumber], dst, cap); }
bool CopyEqualsFormat(char* dst, std::size_t cap) { return CopyText(MessageTable[kMessageFormatEquals], dst, cap); }
char GetPlaceholderChar() { return MessageTable[kMessageFormatValue][0]; }
