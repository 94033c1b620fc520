// Opening the output and the inputs, each as a stream or nothing.
#pragma once

#include <cstdio>

// The first of the inputs that is the already existing output file itself,
// or null. Such a run must stop before the output is cut.
const char *findInputThatIsOutput(const char *outFile, char *const inFiles[], int inputCount);

// The output, created or cut to zero length and held for this run alone;
// null when it cannot be had.
FILE *openOutput(const char *outFile);

// An input to read, or null when it cannot be opened, is a directory, or is
// the output file itself.
FILE *openInput(const char *inFile, FILE *pOutFile);
