// The kind-to-handler table, indexed by the kernel's handler id. The atoms are in from the start,
// the other handler ids are filled by the steps that build them, and the ids the layout gives no
// handler of their own (chem, tensor, the box signs, braces, norms, bra-kets, lim, vector, hat ...)
// keep the side-by-side layout.
#include "editor/layout_handlers.h"

#include <array>
#include <cstddef>

#include "editor/atom_layout.h"

namespace {

struct InitialHandler {
  LayoutHandler id;
  LayoutHandlerFn fn;
};
constexpr InitialHandler kAtomHandlers[] = {{LayoutHandler::Num, LayoutNumber},
                                            {LayoutHandler::Prompt, LayoutPrompt},
                                            {LayoutHandler::Symbol, LayoutCharacter},
                                            {LayoutHandler::String, LayoutString}};

using HandlerTable = std::array<LayoutHandlerFn, kLayoutHandlerCount>;

constexpr HandlerTable InitialHandlers() {
  HandlerTable table{};
  for (const InitialHandler& h : kAtomHandlers) table[static_cast<size_t>(h.id)] = h.fn;
  return table;
}

// Null entries lay out side by side.
HandlerTable gHandlers = InitialHandlers();

LayoutHandlerFn& Slot(LayoutHandler id) { return gHandlers[static_cast<size_t>(id)]; }

}  // namespace

LayoutHandlerFn RegisterLayoutHandler(LayoutHandler id, LayoutHandlerFn handler) {
  LayoutHandlerFn& slot = Slot(id);
  LayoutHandlerFn previous = slot ? slot : LayoutSideBySide;
  slot = handler;
  return previous;
}

LayoutHandlerFn LayoutHandlerForKind(uint32_t kind) {
  const NodeKindRow* row = GetNodeKindRow(kind);
  LayoutHandlerFn fn = row ? Slot(row->handler) : nullptr;
  return fn ? fn : LayoutSideBySide;
}
