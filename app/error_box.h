// The toolkit's error box; a test takes the message instead (the error box of
// services.h), so that no modal box blocks an offscreen run.
#pragma once

#include <QString>

void ShowErrorBox(const QString& caption, const QString& text);
// The box as the top-level handler shows an error: captioned with the
// application's title, the message adjusted by TopLevelMessage.
void ShowErrorMessage(const QString& message);

// The message as the top-level handler shows it: a "." is appended when the
// last character sorts after ".".
QString TopLevelMessage(const QString& message);
// The application's title: the program file's name without its folder and
// everything from its first ".", every letter after the first in lower case.
QString ApplicationTitle(const QString& programPath);
