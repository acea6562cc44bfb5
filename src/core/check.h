#pragma once
// CHECK comes from the general library.

#include "general/base.h"
