// Running backwards restores the whole machine in the older build too.
#include "../exactness.cpp"
