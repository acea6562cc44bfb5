// Running backwards in the older build.
#include "../backward.cpp"
