// Whether output goes to a person or to a file.
#pragma once

// True when standard error is a terminal, so an updating progress line may be redrawn in place.
bool StandardErrorIsTerminal();
