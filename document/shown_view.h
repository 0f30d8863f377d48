// The view a document's graph pane shows, of the view set's first 2D view, first 3D view and 4D
// view; its rows are built in that view's space.
#pragma once

#include <cstdint>

enum class ShownView : uint8_t { k2D, k3D, k4D };
