// Text of the current port: font, size, face and mode, drawing at the pen (the pen is on the
// baseline and advances by each character's width), widths and font metrics. Glyphs are
// antialiased: srcOr blends the fore colour over the pixels by coverage, srcCopy first fills the
// character cell with the back colour, srcBic blends the back colour, srcXor inverts where
// coverage is at least half. A family without a bold face is emboldened by a second strike 1 px
// to the right. Text is NUL-terminated or counted, of any length.
#pragma once

#include <cstdint>

#include "platform/draw/port.h"

struct FontInfo {
  int16_t ascent;
  int16_t descent;
  int16_t widMax;
  int16_t leading;
};

void TextFont(int32_t font);
void TextSize(int32_t size);
void TextFace(int32_t face);
void TextMode(int32_t mode);

void DrawChar(uint8_t c);
void DrawText(const char* text, int32_t count);
void DrawString(const char* text);  // NUL-terminated; null draws nothing

int16_t CharWidth(uint8_t c);
int32_t TextWidth(const char* text, int32_t count);
int32_t StringWidth(const char* text);
void GetFontInfo(FontInfo* info);
