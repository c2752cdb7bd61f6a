// libpng and libtiff print their own complaints about damaged files on standard error, past Qt's readers,
// burying the progress and the summary; the damaged file is reported and passed over anyway.
#pragma once

// Silences both libraries for the life of the process. Safe to call from any thread, any number of times.
void QuietDecoderMessages();
