// Ctrl-C and SIGTERM as a stop request that a program polls, rather than an end that loses its work.
#pragma once

// From now on SIGINT (each time it comes) and SIGTERM only note a stop request.
void InstallStopSignals();
// Whether a stop was asked for since InstallStopSignals.
bool StopSignalled();
