#pragma once
// Fixed-width names used throughout the emulation core.

#include "general/base.h"
