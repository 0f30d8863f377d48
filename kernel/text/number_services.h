// Number services the documents and the shell provide to the kernel's number text: the
// number field of the writers, the document's digit setting, and the start-up reading of
// the user's decimal separator. Invariant: LC_NUMERIC of the process is "C" after start-up.
#pragma once

// Appends a blank and value printed with "%.*g" and 16 significant digits to the current
// output buffer (used for a matrix's row and column counts in the prefix text).
void WriteNumberField(double value);

// Makes a document's significant-digit count the display digits of number text, clamped to
// 1..17 (a document file is untrusted input).
void ApplyDocumentNumberFormat(int significantDigits);

// Reads the decimal separator of the user's locale (LC_ALL / LC_NUMERIC / LANG) once at
// start-up into the number settings and leaves the process's LC_NUMERIC at "C". Returns the
// separator now in force ("." when the locale cannot be read or has a multi-byte separator).
char InitDecimalSeparatorFromLocale();
