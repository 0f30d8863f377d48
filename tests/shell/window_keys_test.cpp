// Window keys into the editor's key events, headless: Control stands for Command, Alt for Option,
// both together for the key table's Control; characters above 127 map to the table's codes.
#include <gtest/gtest.h>

#include "editor/equation_keys.h"
#include "platform/window/sdl_window.h"
#include "shell/document_event_loop.h"

namespace {

TEST(WindowKeysTest, ModifiersAndCharactersReachTheKeyTable) {
  const struct {
    WindowKey key;
    uint8_t character, modifiers;
    int32_t code;
  } cases[] = {
      {{'x', 'x', false, false, false}, 'x', 0, 'x'},
      {{28, 28, false, true, false}, kKeyLeftArrow, kKeyCommand, 0x2103},
      {{28, 28, true, true, false}, kKeyLeftArrow, kKeyCommand | kKeyShift, 0x2105},
      {{'d', 'd', false, false, true}, 'd', kKeyOption, 0x1332},
      {{'d', 'd', false, true, true}, 'd', kKeyControl, 0x18C0},
      {{U'\u03C0', U'\u03C0', false, false, false}, 185, 0, 0x1312},
      {{13, 13, false, false, false}, kKeyReturn, 0, 0},
      {{8, 8, true, true, true}, kKeyBackspace, kKeyShift | kKeyControl, 0x1609},
  };
  for (const auto& c : cases) {
    const EditKeyEvent key = EditKeyOfWindowKey(c.key);
    EXPECT_EQ(key.character, c.character) << uint32_t(c.key.produced);
    EXPECT_EQ(key.modifiers, c.modifiers) << uint32_t(c.key.produced);
    EXPECT_EQ(KeyToEditCommand(key), c.code) << uint32_t(c.key.produced);
  }
}

TEST(WindowKeysTest, NoDisplayIsSaidWhenNoWindowSystemIsNamed) {
  const char* names[] = {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"};
  std::string saved[3];
  bool had[3];
  for (int i = 0; i < 3; ++i) {
    const char* v = std::getenv(names[i]);
    had[i] = v != nullptr;
    saved[i] = v ? v : "";
    unsetenv(names[i]);
  }
  std::string why;
  EXPECT_FALSE(HasWindowDisplay(&why));
  EXPECT_NE(why.find("no display"), std::string::npos);
  std::string error;
  EXPECT_EQ(SdlWindow::Open("test", 200, 200, &error), nullptr);
  EXPECT_NE(error.find("no display"), std::string::npos);
  setenv("DISPLAY", ":0", 1);
  EXPECT_TRUE(HasWindowDisplay(&why));
  unsetenv("DISPLAY");
  for (int i = 0; i < 3; ++i)
    if (had[i]) setenv(names[i], saved[i].c_str(), 1);
}

}  // namespace
