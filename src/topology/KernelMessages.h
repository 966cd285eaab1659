#pragma once

// Makes the kernel's console printers (the readers' "Total number of loaded
// entities ..." and their faults) follow the rules of the stage's own output:
// ANSI colours only when standard output is a terminal and NO_COLOR is not
// set. Decided once per process; later calls do nothing.
void configureKernelMessages();
