#include "core/frontend.h"

namespace {
CoreFrontEnd* gInstalled = nullptr;
}

CoreFrontEnd* coreFrontEnd() { return gInstalled; }
void installCoreFrontEnd(CoreFrontEnd* frontEnd) { gInstalled = frontEnd; }
