#pragma once
// The virtual instrument's main loop: plays the instrument on a virtual
// port until `stopFd` becomes readable.

#include "vinst/Options.h"

namespace vinst {

// Prints "ready" on stdout once the port's name exists. Returns the exit
// status: 0 after a stop, 1 when the instrument could not start or its
// memory image could not be saved, 2 when the dump of --from is missing or
// is not exactly a memory's worth of bytes.
int RunInstrument(const Options &options, int stopFd);

}  // namespace vinst
