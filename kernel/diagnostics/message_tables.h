// The system's constant texts: error messages by error code, and one message table that
// holds the typing hints, the read-out words and formats, then the graph result messages
// (graph result message n is entry kGraphResultFirstEntry + n). Texts are byte-exact;
// "\r" is a line break that the alert layer renders.
#pragma once

#include <cstddef>

constexpr int kErrorMessageCount = 29;  // codes 0..28; 0, 12 and 25 have no message
extern const char* const ErrorMessageTable[kErrorMessageCount];

// Entries of MessageTable before the graph result messages.
enum MessageEntry : int {
  kMessageHintExitExponent = 0,
  kMessageHintExitFraction = 1,
  kMessageHintUseY = 2,
  kMessageEmpty = 3,
  kMessageFalse = 4,
  kMessageTrue = 5,
  kMessageInfinity = 6,
  kMessageNotANumber = 7,
  kMessageFormatValue = 8,     // "#"
  kMessageFormatEquals = 9,    // "= #"
  kMessageFormatX = 10,        // "x: #"
  kMessageFormatY = 11,        // "y: #"
  kMessageFormatEllipsis = 12, // " ... #"
  kMessageBooleanRange = 13,   // "[false, true]"
};
constexpr int kGraphResultFirstEntry = 13;
constexpr int kGraphResultCount = 29;
constexpr int kMessageTableCount = kGraphResultFirstEntry + kGraphResultCount + 1;
extern const char* const MessageTable[kMessageTableCount];
// GraphResultMessageTable[n] is graph result message n (1..29): a view into MessageTable.
inline constexpr const char* const* GraphResultMessageTable = MessageTable + kGraphResultFirstEntry;

// The message of an error code, or null when the code has none (0, 12, 25, out of range).
const char* ErrorMessage(int code);
// Graph result message n (1..29), or null outside that range.
const char* GraphResultMessage(int n);

// The copy routines write a NUL-terminated text into dst (capacity `cap` bytes, truncating
// to fit; nothing is written when cap is 0). They return false when the text was cut or
// (for the graph messages) n is out of range, in which case dst holds "".
bool CopyGraphResultMessage(char* dst, std::size_t cap, int n);
// "true" for a non-zero flag, else "false".
bool CopyBooleanWord(int flag, char* dst, std::size_t cap);
// "false" when both bounds are 0 or either is NaN; "[false, true]" when lower is 0 and
// upper is not; otherwise "true".
bool CopyBooleanRangeWord(double lower, double upper, char* dst, std::size_t cap);
bool CopyInfinityWord(char* dst, std::size_t cap);
bool CopyNotANumberWord(char* dst, std::size_t cap);
bool CopyEqualsFormat(char* dst, std::size_t cap);
// The placeholder of the read-out formats: the first character of the entry "#".
char GetPlaceholderChar();
