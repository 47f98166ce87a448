// The toolkit's error box; a test takes the message instead (the error box of
// services.h), so that no modal box blocks an offscreen run.
#pragma once

#include <QString>
#include <string>

void ShowErrorBox(const QString& caption, const QString& text);
// The box as the window shows an error where it has no window yet: the
// caption and text of every error box (window_logic.h).
void ShowErrorMessage(const std::string& message);
