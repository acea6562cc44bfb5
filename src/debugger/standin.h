#pragma once
// The general library's text, option and language headers (formerly
// stand-ins until they were in).

#include "general/config.h"
#include "general/istring.h"
#include "general/language.h"
