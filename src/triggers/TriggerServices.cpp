#include "triggers/TriggerServices.h"

namespace {
TriggerServiceTable serviceTable;
} // namespace

TriggerServiceTable& triggerServices() { return serviceTable; }

void resetTriggerServices() { serviceTable = TriggerServiceTable(); }
