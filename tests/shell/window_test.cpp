// The document window under an X server, driven as a user drives it: the program starts with a
// document, keys typed with XTest go into the new row, Return builds the graphs, a click in the
// math pane moves the caret, a drag in the graph pane pans, a document in 3D spins its 3D view
// in the graph pane and a drag turns a document's 4D view. The window is read back from the server. Where things must be comes from a
// twin DocumentWindow in this process, laid out by the same code with the same fonts: its rows'
// leaves for the click, its first plane view's map for the curve (y = sin(x^(2 + 1/2)): what
// those keys make, a blank being no edit outside a text).
// Screenshots of a failing test are written to $QV_ARTIFACT_DIR (default: the test temp dir).
#include "tests/shell/window_test_support.h"

namespace {

using namespace window_test;

double TypedCurve(double x) { return std::sin(std::pow(x, 2.5)); }
double PanCurve(double x) { return x > 0 ? std::sin(std::pow(x, 2.5)) : NAN; }

// Pixels of an axis colour from the graph pane's top down, others there that are not white, and
// pixels of the axis colour above the pane.
struct AxisPixels {
  int axis = 0, other = 0, above = 0;
};
template <class Colour>
AxisPixels CountAxisPixels(const Screenshot& shot, const QDRect& pane, Colour colour) {
  AxisPixels n;
  for (int v = 0; v < shot.height; ++v) {
    for (int h = 0; h < shot.width; ++h) {
      const uint32_t p = shot.At(h, v);
      if (v < pane.top) {
        n.above += colour(p);
      } else {
        n.axis += colour(p);
        n.other += !colour(p) && p != 0xFFFFFFu;
      }
    }
  }
  return n;
}

TEST_F(WindowTest, TypedRowIsGraphedWhereTheViewsMapPutsIt) {
  Start();
  if (HasFatalFailure()) return;
  const std::string keys = "y = sin x^2 + 1/2";
  Type(keys);
  for (size_t i = 0; i < keys.size(); ++i) ASSERT_TRUE(program_.WaitFor("caret")) << "key " << i;
  Key(XK_Return, false);
  ASSERT_TRUE(program_.WaitFor("caret"));
  ASSERT_TRUE(program_.WaitFor("graphs complete"));
  twinWindow_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  ASSERT_EQ(twin_->rows.count, 2);
  int columns = 0;
  const Screenshot shot = ShootUntil("window-typed-row", [&](const Screenshot& s) {
    return CurveHits(s, TypedCurve, 0, 0, &columns) >= 0.9 && CurveHits(s, [](double) { return -0.5; }, 0, 0, &columns) >= 0.9;
  });
  ASSERT_EQ(shot.width, kWidth);
  EXPECT_GE(CurveHits(shot, TypedCurve, 0, 0, &columns), 0.9);
  EXPECT_GE(columns, 20);
  EXPECT_GE(CurveHits(shot, [](double) { return -0.5; }, 0, 0, &columns), 0.9) << "the document's own row";
  EXPECT_GE(columns, 100);
}

TEST_F(WindowTest, ClickInTheMathPaneMovesTheCaretToTheClickedLeaf) {
  Start();
  if (HasFatalFailure()) return;
  // The leaf: the number of the document's row y = -0.5 (root equal, child 1 minus, its child 0).
  const FormulaEditor* row = twinWindow_->RowEditor(0);
  ASSERT_NE(row, nullptr);
  FixedRect leaf{};
  GetNodeRect(row->root->children[1]->children[0], &leaf);
  const int h = row->frame.left + FixedToPixels(leaf.left + (leaf.right - leaf.left) * 3 / 4);
  const int v = row->frame.top + FixedToPixels((leaf.top + leaf.bottom) / 2);
  MoveTo(h, v);
  Button(true);
  Button(false);
  std::string line;
  ASSERT_TRUE(program_.WaitFor("caret 0", &line)) << "no caret line for the clicked row";
  twinWindow_->HandleMouseDown(QDPoint{int16_t(v), int16_t(h)}, 0, 1);
  char expected[128];
  const FormulaEditor* e = twinWindow_->RowEditor(0);
  std::snprintf(expected, sizeof expected, "caret 0 1.0 m%d %d:%d", e->selectionMode, e->selectionStart,
                e->selectionEnd);
  EXPECT_EQ(line, expected);
  EXPECT_TRUE(e->selectionMode == SelectionCaretAfter || e->selectionMode == SelectionDigits) << line;
  if (HasFailure()) Shoot("window-click");
}

TEST_F(WindowTest, DraggingInTheGraphPanePansTheView) {
  Start();
  if (HasFatalFailure()) return;
  Type("y = sin x^2 + 1/2");
  Key(XK_Return, false);
  ASSERT_TRUE(program_.WaitFor("graphs complete"));
  twinWindow_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  const QDRect pane = twinWindow_->Layout().graphPane;
  const int h0 = pane.left + 40, v0 = pane.top + 40, dh = 64, dv = 32;
  MoveTo(h0, v0);
  Button(true);
  for (int k = 1; k <= 8; ++k) {
    MoveTo(h0 + dh * k / 8, v0 + dv * k / 8);
    Pause(30);
  }
  Button(false);
  std::string line;
  ASSERT_TRUE(program_.WaitFor("view", &line));
  double x0, x1, y0, y1;
  ASSERT_EQ(std::sscanf(line.c_str(), "view %lf %lf %lf %lf", &x0, &x1, &y0, &y1), 4) << line;
  const GraphView2D* view = twin_->viewSet.first2D;
  const double unitX = view->windowMap.unitsPerPixelX, unitY = view->windowMap.unitsPerPixelY;
  EXPECT_NEAR(x0, view->WindowX(view->rect.left) - dh * unitX, 1.5 * unitX) << "dragged right, the view shows more left";
  EXPECT_NEAR(y1, view->WindowY(view->rect.top) + dv * unitY, 1.5 * unitY) << "dragged down, it shows more above";
  int columns = 0;
  const Screenshot shot =
      ShootUntil("window-panned", [&](const Screenshot& s) { return CurveHits(s, PanCurve, dh, dv, &columns) >= 0.9; });
  EXPECT_GE(CurveHits(shot, PanCurve, dh, dv, &columns), 0.9);
  EXPECT_GE(columns, 20);
}

// A document in 3D (a line @view=3d) shows its 3D view in the graph pane: the green axes and the
// field's arrows inside the pane, nothing of them above it, and the picture turning from one
// screenshot to the next (the view spins).
TEST_F(WindowTest, ADocumentIn3DShowsItsSpinningViewInTheGraphPane) {
  std::ofstream(document_) << "@view=3d\nequal[matrix[3,1,x,y,z],matrix[3,1,minus[y],x,0]]\n";
  Start();
  if (HasFatalFailure()) return;
  ASSERT_EQ(twin_->shownView, ShownView::k3D);
  const QDRect pane = twinWindow_->Layout().graphPane;
  auto green = [](uint32_t p) {
    const int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
    return g > 150 && g > r + 80 && g > b + 80;
  };
  AxisPixels n;
  const Screenshot first = ShootUntil("window-3d-first", [&](const Screenshot& s) {
    n = CountAxisPixels(s, pane, green);
    return n.axis > 40 && n.other > 1000;
  });
  ASSERT_EQ(first.width, kWidth);
  EXPECT_GT(n.axis, 40);
  EXPECT_GT(n.other, 1000);
  EXPECT_EQ(n.above, 0);
  const auto spun = [&](const Screenshot& s) { return DifferingPixels(first, s, pane) > 200; };
  EXPECT_TRUE(spun(ShootUntil("window-3d-second", spun))) << "the view spins";
}

// A document in 4D (a line @view=4d) shows its 4D view in the graph pane: the cyan axes and the
// surface inside the pane, nothing of them above it; a drag across the surface turns the view, and
// released while moving it goes on spinning (the picture changes after the release).
TEST_F(WindowTest, ADocumentIn4DShowsItsViewAndADragTurnsIt) {
  std::ofstream(document_) << "@view=4d\n"
                           << "equal[matrix[4,1,x,y,u,v],matrix[4,1,cos[times[6,t]],sin[times[6,t]],t,t]]\n"
                           << "equal[w,times[0.25,power[z,2]]]\n";
  Start();
  if (HasFatalFailure()) return;
  ASSERT_EQ(twin_->shownView, ShownView::k4D);
  const QDRect pane = twinWindow_->Layout().graphPane;
  auto cyan = [](uint32_t p) {
    const int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
    return g > r + 60 && b > r + 60 && g > 120;
  };
  AxisPixels n;
  const Screenshot first = ShootUntil("window-4d-first", [&](const Screenshot& s) {
    n = CountAxisPixels(s, pane, cyan);
    return n.axis > 20 && n.other > 1000;
  });
  ASSERT_EQ(first.width, kWidth);
  EXPECT_GT(n.axis, 20);
  EXPECT_GT(n.other, 1000);
  EXPECT_EQ(n.above, 0);
  const int h0 = (pane.left + pane.right) / 2 - 40, v0 = (pane.top + pane.bottom) / 2 + 20;
  MoveTo(h0, v0);
  Button(true);
  for (int k = 1; k <= 8; ++k) {
    MoveTo(h0 + 10 * k, v0);
    Pause(15);
  }
  Button(false);
  ASSERT_TRUE(program_.WaitFor("view")) << "the drag was taken";
  const auto turned = [&](const Screenshot& s) { return DifferingPixels(first, s, pane) > 500; };
  const Screenshot second = ShootUntil("window-4d-second", turned);
  EXPECT_TRUE(turned(second)) << "the drag turns the view";
  const auto spinning = [&](const Screenshot& s) { return DifferingPixels(second, s, pane) > 200; };
  EXPECT_TRUE(spinning(ShootUntil("window-4d-third", spinning))) << "released while moving, it spins";
}

// The keys held over a drag in the 4D view, through the real keyboard (Control stands for Command,
// Alt for Option, Control with Alt for Control): a plain drag on the background and a Command drag
// on the surface leave the picture alone, a Control-Alt drag sets the depth (the picture changes,
// and a still release leaves it still), an Alt drag on the background turns it. Before, the
// window sent the plane view's flags: the plain drag on the background turned the view, Command
// turned it and Control could not be had.
TEST_F(WindowTest, ModifierDragsIn4DTurnSetTheDepthOrLeaveTheViewAlone) {
  std::ofstream(document_) << "@view=4d\n"
                           << "equal[w,times[0.25,power[z,2]]]\n";
  Start();
  if (HasFatalFailure()) return;
  const QDRect pane = twinWindow_->Layout().graphPane;
  const int surfaceH = (pane.left + pane.right) / 2 - 40, surfaceV = (pane.top + pane.bottom) / 2 + 20;
  Screenshot last =
      ShootUntil("window-4d-keys-start", [&](const Screenshot& s) { return s.At(surfaceH, surfaceV) != 0xFFFFFFu; });
  ASSERT_EQ(last.width, kWidth);
  // White paper 12 pixels all round, away from the pane's edges.
  int paperH = -1, paperV = -1;
  for (int v = pane.top + 20; v < pane.bottom - 80 && paperH < 0; v += 2) {
    for (int h = pane.left + 20; h < pane.right - 80 && paperH < 0; h += 2) {
      bool white = true;
      for (int dv = -12; dv <= 12 && white; ++dv)
        for (int dh = -12; dh <= 12 && white; ++dh) white = last.At(h + dh, v + dv) == 0xFFFFFFu;
      if (white) paperH = h, paperV = v;
    }
  }
  ASSERT_GE(paperH, 0) << "no paper to press on";
  ASSERT_NE(last.At(surfaceH, surfaceV), 0xFFFFFFu) << "the surface is not under the press";
  const KeyCode control = XKeysymToKeycode(dpy_, XK_Control_L), alt = XKeysymToKeycode(dpy_, XK_Alt_L);
  const struct {
    const char* name;
    bool control, alt, onPaper, vertical, changes;
  } cases[] = {{"plain on the paper", false, false, true, false, false},
               {"Command on the surface", true, false, false, false, false},
               {"Control (depth)", true, true, false, true, true},
               {"Option on the paper", false, true, true, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int h0 = c.onPaper ? paperH : surfaceH, v0 = c.onPaper ? paperV : surfaceV;
    MoveTo(h0, v0);
    if (c.control) XTestFakeKeyEvent(dpy_, control, True, CurrentTime);
    if (c.alt) XTestFakeKeyEvent(dpy_, alt, True, CurrentTime);
    XSync(dpy_, False);
    Pause(30);
    Button(true);
    for (int k = 1; k <= 6; ++k) {
      MoveTo(h0 + (c.vertical ? 0 : 8 * k), v0 + (c.vertical ? 8 * k : 0));
      Pause(15);
    }
    Pause(600);  // held still: no spin after the release
    Button(false);
    if (c.alt) XTestFakeKeyEvent(dpy_, alt, False, CurrentTime);
    if (c.control) XTestFakeKeyEvent(dpy_, control, False, CurrentTime);
    XSync(dpy_, False);
    ASSERT_TRUE(program_.WaitFor("view")) << "the press was taken, the drag drawn";
    MoveTo(kWidth / 2, 4);
    const std::string name = std::string("window-4d-keys-") + (c.control ? "c" : "") + (c.alt ? "a" : "") +
                             (c.onPaper ? "-paper" : "-surface");
    const auto changed = [&](const Screenshot& s) { return DifferingPixels(last, s, pane); };
    if (c.changes) {
      const Screenshot now = ShootUntil(name, [&](const Screenshot& s) { return changed(s) > 300; });
      EXPECT_GT(changed(now), 300);
      last = now;
    } else {
      EXPECT_EQ(changed(Shoot(name)), 0);
    }
  }
}

// Ranges asked for on the command line are shown whole, centred, at one scale on both axes: the
// view's first line gives equal units a pixel and holds both ranges; a disc of radius 3 comes out
// round (as many pixels across as down) and centred in the graph pane. A range the view cannot
// show ends the program with status 2 before a window opens.
TEST_F(WindowTest, RangesAskedForAreShownWholeAtOneScale) {
  std::ofstream(document_) << "leq[plus[power[x,2],power[y,2]],9]\n";
  Start({"--x", "-4,4", "--y", "-3,3"});
  if (HasFatalFailure()) return;
  const QDRect pane = twinWindow_->Layout().graphPane;
  const int width = pane.right - pane.left, height = pane.bottom - pane.top;
  std::string line;
  double x0, x1, y0, y1;
  ASSERT_TRUE(StartUpView(&line, &x0, &x1, &y0, &y1));
  const double unitX = (x1 - x0) / width, unitY = (y1 - y0) / height;
  EXPECT_NEAR(unitX, unitY, 1e-12 * unitX) << line;
  EXPECT_TRUE(x0 <= -4 && x1 - unitX >= 4) << line;  // the columns left to right - 1
  EXPECT_TRUE(y0 + unitY <= -3 && y1 >= 3) << line;  // the rows bottom - 1 up to top
  const double across = 6 / unitX;  // the disc's pixels at the view's scale
  int left = kWidth, right = -1, top = kHeight, bottom = -1;
  const Screenshot shot = ShootUntil("window-one-scale", [&](const Screenshot& s) {
    left = kWidth, right = -1, top = kHeight, bottom = -1;
    for (int v = pane.top; v < pane.bottom; ++v) {
      for (int h = pane.left; h < pane.right; ++h) {
        if (!IsFill(s.At(h, v))) continue;
        left = std::min(left, h), right = std::max(right, h), top = std::min(top, v), bottom = std::max(bottom, v);
      }
    }
    return std::abs(right - left + 1 - across) <= 3 && std::abs(bottom - top + 1 - across) <= 3;
  });
  ASSERT_EQ(shot.width, kWidth);
  EXPECT_NEAR(right - left + 1, across, 3) << line;
  EXPECT_NEAR(bottom - top + 1, across, 3) << line;
  EXPECT_TRUE(left > pane.left && right < pane.right - 1 && top > pane.top && bottom < pane.bottom - 1);
  EXPECT_NEAR(left + right, pane.left + pane.right - 1, 3);
  EXPECT_NEAR(top + bottom, pane.top + pane.bottom - 1, 3);

  Program refused;
  ASSERT_TRUE(refused.Start({"--x", "0,1e-290", document_}));
  EXPECT_EQ(refused.WaitExit(), 2);
}

// Math > Expand on a term selected with a click and the Up arrow: the row reads y = 2x + 6, Return
// draws that line where the view's map puts it, and Edit > Undo gives the product back.
TEST_F(WindowTest, MathExpandRewritesTheSelectedTermAndUndoGivesItBack) {
  std::ofstream(document_) << "equal[y,times[2,plus[x,3]]]\n";
  Start();
  if (HasFatalFailure()) return;
  ClickFirstLeaf();  // the 2
  if (HasFatalFailure()) return;
  const FormulaEditor* row = twinWindow_->RowEditor(0);
  const ExprNode* term = row->root->children[1];
  for (int i = 0; i < 4 && !(row->caretNode == term && row->selectionMode == SelectionCaretNode); ++i) {
    Key(XK_Up, false);
    twinWindow_->HandleKey(EditKeyEvent{kKeyUpArrow, kKeyUpArrow, 0});
    ASSERT_TRUE(program_.WaitFor("caret 0"));
  }
  ASSERT_TRUE(row->caretNode == term && row->selectionMode == SelectionCaretNode) << "the term is not selected";
  const std::string before = Bracket(row->root);
  ChooseItem(1, 0x2002);
  std::string line;
  ASSERT_TRUE(program_.WaitFor("command 0x2002"));
  ASSERT_TRUE(program_.WaitFor("row 0", &line));
  EXPECT_EQ(line, "row 0 " + Written("equal[y,plus[times[2,x],6]]"));
  Key(XK_Return, false);
  ASSERT_TRUE(program_.WaitFor("graphs complete"));
  twinWindow_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  int columns = 0;
  const auto expanded = [](double x) { return 2 * x + 6; };
  const Screenshot shot =
      ShootUntil("window-expanded", [&](const Screenshot& s) { return CurveHits(s, expanded, 0, 0, &columns) >= 0.9; });
  EXPECT_GE(CurveHits(shot, expanded, 0, 0, &columns), 0.9);
  EXPECT_GE(columns, 20);
  ChooseItem(0, kCommandUndo);
  ASSERT_TRUE(program_.WaitFor("command 0x30000"));
  ASSERT_TRUE(program_.WaitFor("row 0", &line));
  EXPECT_EQ(line, "row 0 " + before);
  if (HasFailure()) Shoot("window-expand-failed");
}

// With the new row's prompt active the Math items are disabled: a click on Expand leaves the menu
// open and runs nothing; Escape closes it.
TEST_F(WindowTest, ADisabledMenuItemDoesNothing) {
  Start();
  if (HasFatalFailure()) return;
  EXPECT_EQ(ChooseItem(1, 0x2002), "menu 1 -1") << "still open, nothing highlighted";
  Shoot("window-disabled-item");
  Key(XK_Escape, false);
  std::string line;
  ASSERT_TRUE(program_.WaitFor("menu ", &line));
  EXPECT_EQ(line, "menu -1 -1");
  EXPECT_EQ(program_.Log().find("command"), std::string::npos) << "no command ran";
}

// Letters typed after a click are one undo step: one Undo takes all three away.
TEST_F(WindowTest, TypedLettersAfterAClickAreOneUndoStep) {
  Start();
  if (HasFatalFailure()) return;
  ClickFirstLeaf();
  if (HasFatalFailure()) return;
  const FormulaEditor* row = twinWindow_->RowEditor(0);
  const std::string before = Bracket(row->root);
  Type("abc");
  std::string line;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(program_.WaitFor("row 0", &line)) << "key " << i;
  EXPECT_NE(line, "row 0 " + before);
  ChooseItem(0, kCommandUndo);
  ASSERT_TRUE(program_.WaitFor("command 0x30000"));
  ASSERT_TRUE(program_.WaitFor("row 0", &line));
  EXPECT_EQ(line, "row 0 " + before);
  if (HasFailure()) Shoot("window-undo-letters");
}

// Edit > Copy of a whole row puts its text on the system clipboard (read back here through SDL);
// Edit > Paste in the new row makes it the same row; a formula another program put there pastes
// as that formula.
TEST_F(WindowTest, RowsGoThroughTheSystemClipboard) {
  Start();
  if (HasFatalFailure()) return;
  const QDPoint first = Centre(QDRect{twinWindow_->RowEditor(0)->frame.top, twinWindow_->RowEditor(0)->frame.left,
                                      twinWindow_->RowEditor(0)->frame.bottom, twinWindow_->RowEditor(0)->frame.left});
  Click(QDPoint{first.v, int16_t(twinWindow_->RowEditor(0)->frame.left + 4)});
  twinWindow_->HandleMouseDown(QDPoint{first.v, int16_t(twinWindow_->RowEditor(0)->frame.left + 4)}, 0, 1);
  ASSERT_TRUE(program_.WaitFor("caret 0"));
  ChooseItem(0, kCommandSelectAll);
  ASSERT_TRUE(program_.WaitFor("command 0x30002"));
  ChooseItem(0, kCodeCopy);
  ASSERT_TRUE(program_.WaitFor("command 0x2201"));
  const std::string text = Bracket(twinWindow_->RowEditor(0)->root);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  struct SdlEnd {
    ~SdlEnd() { SDL_Quit(); }  // SDL_Quit also ends SDL's bus connection
  } sdlEnd;
  char* scrap = SDL_GetClipboardText();
  EXPECT_EQ(std::string(scrap != nullptr ? scrap : ""), "equal[y,minus[0.5]]") << "the document's line, as written";
  SDL_free(scrap);

  auto clickNewRow = [&](int index) {
    const PixelRect f = twinWindow_->RowEditor(index)->frame;
    const QDPoint p{int16_t(f.top + 4), int16_t(f.left + 4)};
    Click(p);
    twinWindow_->HandleMouseDown(p, 0, 1);
    ASSERT_TRUE(program_.WaitFor("caret " + std::to_string(index)));
  };
  clickNewRow(1);
  ChooseItem(0, kCodePaste);
  std::string line;
  ASSERT_TRUE(program_.WaitFor("command 0x2202"));
  ASSERT_TRUE(program_.WaitFor("row 1", &line));
  EXPECT_EQ(line, "row 1 " + text);

  // Another program's formula: this process owns the selection and answers while it is read.
  clickNewRow(2);
  ASSERT_EQ(SDL_SetClipboardText("equal[y,power[x,2]]"), 0) << SDL_GetError();
  ChooseItem(0, kCodePaste);
  bool pasted = false;
  for (int i = 0; i < 400 && !pasted; ++i) {
    SDL_PumpEvents();
    pasted = program_.WaitFor("row 2", &line, 0.05);
  }
  ASSERT_TRUE(pasted);
  EXPECT_EQ(line, "row 2 " + Written("equal[y,power[x,2]]"));
  if (HasFailure()) Shoot("window-clipboard");
}

// Graph > Zoom In steps the plane view's range down its ladder (2.5 times from the default scale,
// then half), and Reset Graph shows the default range again.
TEST_F(WindowTest, GraphZoomInAndResetGraphChangeTheViewRange) {
  Start();
  if (HasFatalFailure()) return;
  std::string initial;
  double x0, x1, y0, y1;
  ASSERT_TRUE(StartUpView(&initial, &x0, &x1, &y0, &y1));
  auto range = [](const std::string& l, double* w, double* h) {
    double a, b, c, d;
    const bool ok = std::sscanf(l.c_str(), "view %lf %lf %lf %lf", &a, &b, &c, &d) == 4;
    *w = b - a;
    *h = d - c;
    return ok;
  };
  const double w0 = x1 - x0, h0 = y1 - y0;
  double w1, h1, w2, h2;
  std::string line;
  ChooseItem(2, kCommandFirstViewCommand + kViewZoomIn);
  ASSERT_TRUE(program_.WaitFor("view", &line));
  ASSERT_TRUE(range(line, &w1, &h1)) << line;
  EXPECT_NEAR(w0 / w1, 2.5, 1e-9) << line;
  EXPECT_NEAR(h0 / h1, 2.5, 1e-9) << line;
  ChooseItem(2, kCommandFirstViewCommand + kViewZoomIn);
  ASSERT_TRUE(program_.WaitFor("view", &line));
  ASSERT_TRUE(range(line, &w2, &h2)) << line;
  EXPECT_NEAR(w1 / w2, 2, 1e-9) << "halved: " << line;
  EXPECT_NEAR(h1 / h2, 2, 1e-9) << "halved: " << line;
  ASSERT_TRUE(program_.WaitFor("graphs complete"));
  Shoot("window-zoomed");
  ChooseItem(2, kCommandResetGraph);
  ASSERT_TRUE(program_.WaitFor("view", &line));
  EXPECT_EQ(line, initial);
}

// A document with a slider a = slider(0, 4) at a quarter and y = a x^2: the slider shows at the
// foot of the math pane; dragging its thumb past the right end sets a = 4, the parabola becomes
// 4x^2 with no rebuild (the trace counts them), and the value shown changes.
TEST_F(WindowTest, DraggingTheSliderRedrawsTheParabolaWithoutARebuild) {
  std::ofstream(document_) << "@slider=25 equal[a,slider[id[comma[0,4]]]]\nequal[y,times[a,power[x,2]]]\n";
  Start();
  if (HasFatalFailure()) return;
  const QDRect strip = twinWindow_->SliderStrip();
  ASSERT_EQ(RectHeight(strip), kSliderLineHeight) << "the twin shows one slider";
  const QDRect track = SliderTrackRect(SliderLineRect(strip, 0));
  const int middle = (track.top + track.bottom) / 2;
  int columns = 0;
  double (*square)(double) = [](double x) { return x * x; };
  double (*fourSquares)(double) = [](double x) { return 4 * x * x; };
  const Screenshot before =
      ShootUntil("window-slider-before", [&](const Screenshot& s) { return CurveHits(s, square, 0, 0, &columns) >= 0.9; });
  EXPECT_GE(CurveHits(before, square, 0, 0, &columns), 0.9) << "a = 1";
  const int start = SliderThumbCentre(track, 100, 25), end = track.right + 40;
  MoveTo(start, middle);
  Button(true);
  for (int k = 1; k <= 8; ++k) {
    MoveTo(start + (end - start) * k / 8, middle);
    Pause(40);
  }
  Button(false);
  std::string line;
  ASSERT_TRUE(program_.WaitFor("slider 0 ", &line));
  EXPECT_EQ(line, "slider 0 100 4 builds 1") << "the right end, a = 4, still the first build";
  ASSERT_TRUE(program_.WaitFor("graphs complete"));
  const QDRect value = MakeRect(track.right, track.top, strip.right, track.bottom);
  const Screenshot after = ShootUntil("window-slider-after", [&](const Screenshot& s) {
    int n = 0;
    return CurveHits(s, fourSquares, 0, 0, &n) >= 0.9 && CurveHits(s, square, 0, 0, &n) < 0.5 &&
           DifferingPixels(before, s, value) > 10;
  });
  EXPECT_GE(CurveHits(after, fourSquares, 0, 0, &columns), 0.9);
  EXPECT_GE(columns, 10);
  EXPECT_LT(CurveHits(after, square, 0, 0, &columns), 0.5) << "the old parabola is gone";
  EXPECT_GT(DifferingPixels(before, after, value), 10) << "the value shown changed";
}

// Return builds and puts the caret in the new row, so a second equation goes into a row of its
// own; row after row, the caret's row is scrolled into view (ink inside its frame on the screen),
// and the wheel over the math pane scrolls the rows as the twin's do.
TEST_F(WindowTest, ReturnStartsANewRowAndTheRowsScrollIntoView) {
  Start();
  if (HasFatalFailure()) return;
  const char* rows[] = {"y = x", "y = 2", "y = x/3", "y = 1 - x", "y = x^2", "y = 3"};
  int row = 1;
  for (const char* text : rows) {
    Type(text);
    for (size_t i = 0; text[i] != '\0'; ++i) ASSERT_TRUE(program_.WaitFor("caret"));
    Key(XK_Return, false);
    twinWindow_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
    std::string line;
    ASSERT_TRUE(program_.WaitFor("caret", &line));
    EXPECT_EQ(line.rfind("caret " + std::to_string(++row) + " ", 0), 0u) << line << " after " << text;
  }
  ASSERT_TRUE(program_.WaitFor("graphs complete"));
  ASSERT_EQ(twin_->rows.count, 7);
  ASSERT_GT(twinWindow_->MathScroll(), 0) << "seven rows do not fit at this size";
  // The last typed row (y = 3) is on the screen where the twin put it.
  const FormulaEditor* last = twinWindow_->RowEditor(6);
  const QDRect math = twinWindow_->Layout().mathPane;
  ASSERT_TRUE(last->frame.top >= math.top && last->frame.bottom <= math.bottom);
  int dark = 0;
  const Screenshot shot = ShootUntil("window-rows-scrolled", [&](const Screenshot& s) {
    dark = 0;
    for (int v = last->frame.top; v < last->frame.bottom; ++v)
      for (int h = last->frame.left; h < last->frame.right; ++h) dark += (s.At(h, v) & 0xFF) < 100;
    return dark > 20;
  });
  ASSERT_EQ(shot.width, kWidth);
  EXPECT_GT(dark, 20) << "the row scrolled into view is drawn";

  MoveTo(kWidth / 2, math.top + 30);
  Wheel(true);
  std::string line;
  ASSERT_TRUE(program_.WaitFor("scroll", &line));
  twinWindow_->HandleWheel(QDPoint{int16_t(math.top + 30), int16_t(kWidth / 2)}, 0, 1);
  EXPECT_EQ(line, "scroll " + std::to_string(twinWindow_->MathScroll()));
  for (int k = 0; k < 12; ++k) Wheel(true);
  for (int k = 0; k < 12; ++k) ASSERT_TRUE(program_.WaitFor("scroll", &line));
  EXPECT_EQ(line, "scroll 0") << "the first row back at the top";
}

// The divider follows a drag (the layout line says where), and a resized window lays out again.
TEST_F(WindowTest, TheDividerDragsAndTheWindowResizes) {
  Start();
  if (HasFatalFailure()) return;
  const int divider = twinWindow_->Layout().mathPane.bottom;
  Drag(kWidth / 2, divider + 1, kWidth / 2, divider + 101);
  std::string line;
  ASSERT_TRUE(program_.WaitFor("layout", &line));
  twinWindow_->MovePaneDivider(divider + 100);
  const auto expected = [&](int width, int height) {
    const DocumentWindowLayout& l = twinWindow_->Layout();
    char text[160];
    std::snprintf(text, sizeof text, "layout math %d %d %d %d graph %d %d %d %d", l.mathPane.top, l.mathPane.left,
                  l.mathPane.bottom, l.mathPane.right, l.graphPane.top, l.graphPane.left, height, width);
    return std::string(text);
  };
  EXPECT_EQ(line, expected(kWidth, kHeight));
  EXPECT_EQ(twinWindow_->Layout().mathPane.bottom, divider + 100);

  XResizeWindow(dpy_, window_, 720, 560);
  XSync(dpy_, False);
  ASSERT_TRUE(program_.WaitFor("layout", &line)) << "no layout after the resize";
  std::string last = line;
  while (program_.WaitFor("layout", &line, 1.0)) last = line;  // the window manager's own events
  ASSERT_TRUE(twinWindow_->Resize(720, 560));
  EXPECT_EQ(last, expected(720, 560));
  // The divider's grey across the whole new width.
  const int row = twinWindow_->Layout().mathPane.bottom + 1;
  int grey = 0;
  const Screenshot shot = ShootUntil("window-resized", [&](const Screenshot& s) {
    grey = 0;
    for (int h = 0; h < s.width && row < s.height; ++h) grey += s.At(h, row) == 0xA0A0A0u;
    return grey == 720;
  });
  EXPECT_EQ(shot.width, 720);
  EXPECT_EQ(shot.height, 560);
  EXPECT_EQ(grey, 720);
}

// Dragging the graph pane of a vector field up by 100 pixels leaves every pixel above the pane
// as it was: the arrows stop at the pane's top.
TEST_F(WindowTest, DraggingAVectorFieldLeavesTheMathPaneAlone) {
  std::ofstream(document_) << "equal[matrix[2,1,x,y],matrix[2,1,minus[y],x]]\n";
  Start();
  if (HasFatalFailure()) return;
  const Screenshot before = Shoot("window-field-before");
  const QDRect pane = twinWindow_->Layout().graphPane;
  Drag(pane.left + 200, pane.top + 150, pane.left + 200, pane.top + 50);
  ASSERT_TRUE(program_.WaitFor("view"));
  // The arrows of the moved field drawn: the pane changed, and then stayed as it is over a few shots.
  Screenshot previous;
  int still = 0;
  const Screenshot after = ShootUntil("window-field-after", [&](const Screenshot& s) {
    still = !previous.pixels.empty() && DifferingPixels(previous, s, pane) == 0 ? still + 1 : 0;
    previous = s;
    return still >= 4 && DifferingPixels(before, s, pane) > 0;
  });
  // The caret blinks meanwhile: changes in its one column are its bar.
  int changed = 0, column = -1, columns = 0;
  for (int v = 0; v < pane.top; ++v) {
    for (int h = 0; h < kWidth; ++h) {
      if (before.At(h, v) == after.At(h, v)) continue;
      ++changed;
      if (h != column) column = h, ++columns;
    }
  }
  EXPECT_LE(columns, 1) << changed << " pixels changed";
  EXPECT_LE(changed, 40);
}

// A document with a map (examples/plane-kinds.txt) shows its first view centred on the origin on
// its half of the graph pane, as the headless program lays it out.
TEST_F(WindowTest, AMapDocumentCentresItsFirstView) {
  {
    std::ifstream example(std::string(QV_SOURCE_DIR) + "/examples/plane-kinds.txt");
    ASSERT_TRUE(example.good());
    std::ofstream(document_) << example.rdbuf();
  }
  Start();
  if (HasFatalFailure()) return;
  std::string line;
  double x0, x1, y0, y1;
  ASSERT_TRUE(StartUpView(&line, &x0, &x1, &y0, &y1));
  const GraphView2D* view = twin_->viewSet.first2D;
  const double unitX = view->windowMap.unitsPerPixelX, unitY = view->windowMap.unitsPerPixelY;
  EXPECT_NEAR(x0 + x1, 0, 2 * unitX) << line;
  EXPECT_NEAR(y0 + y1, 0, 2 * unitY) << line;
  EXPECT_LT(view->rect.right, twinWindow_->Layout().graphPane.right) << "the first view on its half";
}

// While the server holds its reply the progress box is in the window's pixels and its bar moves;
// Escape ends the wait: the server's message is shown under the row, the integral stays as it was
// (the reply, 10 s away, would have replaced it) and the graphs with it (an indefinite one: a
// definite one becomes the difference of its indefinite integral at the bounds, as whenever no
// answer comes).
TEST_F(WindowIntegrationTest, EscapeEndsTheIntegrationWaitWithTheServerMessage) {
  TypeIntegralAndSimplify({loopback::Answer::kReply, 200, "X", 10000}, 'i', "sin x^3");
  if (HasFatalFailure()) return;
  const QDRect box = Box();
  int face = 0, fill = 0;
  const Screenshot first = AwaitBox("window-progress-first", &face, &fill);
  EXPECT_GE(face, RectWidth(box) * RectHeight(box) / 2) << "the box is drawn";
  EXPECT_GT(fill, 50) << "with its bar";
  int menuLeft = 0;
  for (int v = item_.top; v < item_.bottom; ++v)
    for (int h = item_.left; h < item_.right; ++h) menuLeft += first.At(h, v) != before_.At(h, v);
  EXPECT_EQ(menuLeft, 0) << "the menu is closed while the command waits";
  const auto moved = [&](const Screenshot& s) {
    int n = 0;
    for (int v = box.top; v < box.bottom; ++v)
      for (int h = box.left; h < box.right; ++h) n += IsBarFill(first.At(h, v)) != IsBarFill(s.At(h, v));
    return n > 20;
  };
  EXPECT_TRUE(moved(ShootUntil("window-progress-second", moved))) << "the bar sweeps while the server is awaited";
  EXPECT_EQ(program_.Log().find("command 0x2000"), std::string::npos) << "the command still waits";

  Key(XK_Escape, false);
  std::string line;
  ASSERT_TRUE(program_.WaitFor("command 0x2000"));
  ASSERT_TRUE(program_.WaitFor("row 1", &line));
  EXPECT_EQ(line, typed_) << "the integral stays";
  ASSERT_TRUE(program_.WaitFor("message 1", &line));
  EXPECT_EQ(line, std::string("message 1 ") + ErrorMessage(kErrorIntegrationServer));
  const Screenshot after = ShootUntil("window-progress-escaped", [&](const Screenshot& s) {
    CountBox(s, box, &face, &fill);
    return MessageInk(s) > 100 && fill == 0;
  });
  EXPECT_GT(MessageInk(after), 100) << "the message is drawn under the row";
  EXPECT_EQ(fill, 0) << "the box is gone";
  int columns = 0;
  EXPECT_GE(CurveHits(after, [](double) { return -0.5; }, 0, 0, &columns), 0.9) << "the unchanged row kept the graphs";
  EXPECT_GE(columns, 100);
  EXPECT_EQ(server_->Connections(), 1);
}

// The server answers after a while: the box shows meanwhile, then the answer replaces the integral
// and no message is shown.
TEST_F(WindowIntegrationTest, TheDelayedAnswerReplacesTheIntegral) {
  TypeIntegralAndSimplify({loopback::Answer::kReply, 200, "OVER[POWER[X,3],3]", 2500}, 'i', "x^2");
  if (HasFatalFailure()) return;
  const QDRect box = Box();
  int face = 0, fill = 0;
  AwaitBox("window-progress-waiting", &face, &fill);
  EXPECT_GE(face, RectWidth(box) * RectHeight(box) / 2) << "the box is drawn while the answer is held";
  std::string line;
  ASSERT_TRUE(program_.WaitFor("command 0x2000"));
  ASSERT_TRUE(program_.WaitFor("row 1", &line));
  EXPECT_EQ(line, "row 1 " + Written("over[power[x,3],3]"));
  ShootUntil("window-progress-answered", [&](const Screenshot& s) {
    CountBox(s, box, &face, &fill);
    return fill == 0;
  });
  EXPECT_EQ(fill, 0) << "the box is gone";
  EXPECT_FALSE(program_.WaitFor("message", nullptr, 1.5)) << "a message would come with the next idle ticks";
  EXPECT_EQ(program_.Log().find("message"), std::string::npos) << program_.Log();
  EXPECT_EQ(server_->Connections(), 1);
}

}  // namespace
