#pragma once
// The program's start up to its main window on screen, apart from main() so
// that the start-up benchmark runs the very same steps.

#include "shell/CommandLine.h"

class TOrbiskSAF;

// Reads the command line before the toolkit starts, so that --help and
// --version also answer where there is no display.
StartOptions ReadCommandLine(int argc, char **argv);

// Once the application exists: its icon and translations, the data folder,
// the windows, and the main window shown, taking the port asked for at its
// first activation. Null when the data folder cannot be entered; that has
// been reported.
TOrbiskSAF *StartProgram(const StartOptions &options);
