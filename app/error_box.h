// The toolkit's error box, with a seam so that a test can take the message
// instead of a modal box blocking an offscreen run.
#pragma once

#include <QString>
#include <functional>

using ErrorBoxInterceptor = std::function<void(const QString& caption, const QString& text)>;

void ShowErrorBox(const QString& caption, const QString& text);
// The box as the top-level handler shows an error: captioned with the
// application's title, the message adjusted by TopLevelMessage.
void ShowErrorMessage(const QString& message);
// Until reset with an empty function, boxes go to `interceptor` instead.
void InterceptErrorBoxes(ErrorBoxInterceptor interceptor);

// The message as the top-level handler shows it: a "." is appended when the
// last character sorts after ".".
QString TopLevelMessage(const QString& message);
// The application's title: the program file's name without its folder and
// everything from its first ".", every letter after the first in lower case.
QString ApplicationTitle(const QString& programPath);
