// Where the program's help page lies: beside the installed program, or in the build tree it was built in.
#pragma once

#include <QString>

// The page's file name, for a message when it is missing.
inline constexpr char kHelpPageName[] = "help.html";

// The help page for a program in `programFolder`: `../share/doc/voralin/help.html` from it, which is the
// installed layout and also the one the build tree copies (programs and tests sit one folder below the
// build's top). Empty when the page is not there.
QString FindHelpPage(const QString& programFolder);
