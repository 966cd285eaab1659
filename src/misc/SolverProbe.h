#pragma once

// Runs the solver program "getdp" (found on PATH) once with -version and
// prints the lines of its output that name the CPU cores, as
// "GetDP CPU info : [ ... ]" on std::cout. A solver that cannot be run
// prints "<no-info>" and is no error.
void printGetDpCpuInfo();
