// The driver's 5 ms pause after quick writes and commands is no real sleep
// in the fuzz targets: every input must run fast.
#include <unistd.h>

extern "C" int usleep(useconds_t) { return 0; }
