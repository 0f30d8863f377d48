// The document file both programs read: one formula a line, in bracket notation or typed as keys,
// read into the equation rows of a DocumentRecord, with the file line of each row and the lines
// that could not be used. Invariants: the file is read whole within 1 MiB; a row is appended only
// for a formula the reader accepted or whose every key the editor took, and every appended row
// has its line in lineOfRow.
#pragma once

#include <string>
#include <vector>

#include "document/document_record.h"

// A line of the file that could not be used, and why.
struct DocumentProblem {
  int line;
  std::string reason;
};

// Reads the document into `document`'s rows: each line that is not blank and does not start with #
// must be one formula in bracket notation (blanks outside quotes are ignored), or "type: KEYS", the
// keys a user would type into a new row (DecodeTypedKeys: "type: y = x^2{Right} + 1"; "@keys " is
// read as "type:"), run through the row editor's own key handling; either after the optional row
// settings "@xytype=N " (N a whole number 0..7: the row's xy type; the row's default when absent),
// "@slider=P " (P a whole number 0..100000: the position of the slider a row such as
// "a = slider(0, 10)" defines, clamped to its steps; 0 when absent) and those of row_settings.h
// ("@colour=N ", "@grain=G ", "@opacity=A ", "@mode=M ", "@side=S "), each once, in any order; a
// bad value refuses the whole line. Typed
// keys must each do something and leave no empty place. A line "@view=3d", "@view=4d" (or
// "@view=2d") sets the document's mode: its rows are built in space and the 3D view is shown, or
// in 4D space and the 4D view is shown (the last such line counts). A line "@split=2d" or
// "@split=3d" shows the second 2D or 3D view beside the first ("@split=none" none; the last such
// line counts): the rows of side 1 are built there. A line "@map=picture
// matrix[2,1,X,Y]" or "@map=image matrix[2,1,X,Y]" gives the document its plane transformation:
// the second 2D view beside the first shows the first's picture pulled back (its (x, y) shows the
// first view's (X, Y)) or pushed forward (the first view's (x, y) lands at (X, Y)); a line
// "@map=space matrix[3,1,X,Y,Z]" its space transformation, shown in the 3D view (as "@view=3d"
// sets it) with the second 3D view beside the first, where the first's surfaces, curves, arrows and
// points stand carried to (X, Y, Z); a later "@view=" line for another view refuses the space map.
// The last map line counts. A line "@NAME=MIN,MAX" asks the shown view for a range by name: x, y, z, w, t, u, v,
// r, theta or phi (document/document_ranges.h; the last line for a name counts), kept in the
// document's askedRanges and shown by ShowAskedRanges; a range has its line to itself, and one
// refused (bad, or beside anything else) is told as the option of its name would be. Each
// appended row's file line (1-based) goes to *lineOfRow; unusable lines (a setting alone among
// them, and a slider setting on a formula that defines no slider) are listed in *problems. The
// rows' sliders are refreshed (UpdateEquationSliders) at the end.
// False, with *failure set, when the file itself cannot be read or exceeds 1 MiB.
bool ReadDocumentFile(const std::string& path, DocumentRecord* document, std::vector<int>* lineOfRow,
                      std::vector<DocumentProblem>* problems, std::string* failure);

// The line of the document file that reads back as the row at `index`: its settings (those of
// row_settings.h where a line without them would give another value, "@xytype=N " when not the
// default, "@slider=P " for a slider definition) and its formula in bracket notation. Empty for a
// row without a formula, or when memory is refused.
std::string DocumentRowLine(const EquationRow& row, int32_t index);
