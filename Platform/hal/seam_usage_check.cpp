// The C compile check of the board seam, compiled again as C++: the firmware is
// C++, and some macros mean different things to the two compilers.
#include "seam_usage_check.c"
