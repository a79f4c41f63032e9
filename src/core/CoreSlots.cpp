#include "core/CoreSlots.h"

namespace {
CoreSlots coreSlotTable;
}

CoreSlots& coreSlots() {
    return coreSlotTable;
}

void resetCoreSlots() {
    coreSlotTable = CoreSlots{};
}
