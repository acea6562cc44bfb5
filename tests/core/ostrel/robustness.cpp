// The same random streams against the older build (its 128-block cache with
// the fallback block, its memory accessors).
#include "../robustness.cpp"
