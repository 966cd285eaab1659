// The logging library's global storage lives in the library, so every user of
// the library (the driver, the tests, the benchmarks) shares one logger set-up.
#include <easylogging++.h>

INITIALIZE_EASYLOGGINGPP
