#pragma once

#include <QString>

// Message box styles and answers, as the callers name them.
namespace MsgBoxStyle {
constexpr int OkOnly = 0;
constexpr int OkCancel = 1;
constexpr int YesNoCancel = 3;
constexpr int YesNo = 4;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int DefaultButton2 = 256;
}  // namespace MsgBoxStyle

namespace MsgBoxResult {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Yes = 6;
constexpr int No = 7;
}  // namespace MsgBoxResult

// A modal message box. Where nobody can answer (the offscreen or minimal
// platform), it writes its title and text to standard error and returns the
// default answer at once.
int MsgBox(const QString& text, int style, const QString& title);

// True when windows cannot be seen or answered by anyone.
bool isHeadless();
