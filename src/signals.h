// Interruption: Ctrl-C, a kill, or a closed terminal.
#pragma once

// From here on SIGINT, SIGTERM and SIGHUP end the run at once, by that same
// signal, with the output (once handed over) cut back to its last whole
// frame. A signal the run was started with ignored (as under nohup) stays
// ignored. SIGPIPE is ignored, so that a console reader that goes away does
// not end the join, and a failed write to an output pipe is reported.
void stopOnSignals();

// Hands the output over to the signal handling; -1 takes it back.
void cutOutputOnSignal(int outFd);
