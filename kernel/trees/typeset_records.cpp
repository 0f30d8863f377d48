// The process-wide typesetting state the kernel reads (current editor, prompt caret switch).
#include "kernel/trees/typeset_records.h"

namespace {
TypesettingState gTypesetting;
}  // namespace

TypesettingState& TypesettingGlobals() { return gTypesetting; }
