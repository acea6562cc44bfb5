#pragma once
// The text types the widgets use (formerly stand-ins; now the real ones).

#include "general/istring.h"
