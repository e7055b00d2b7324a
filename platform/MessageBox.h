#pragma once

#include <QString>
#include <functional>
#include <memory>

class QDialog;
class QDialogButtonBox;
class QWidget;

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
// Our own addition: every line of the text shown whole, as in a usage text.
constexpr int WholeLines = 0x01000000;
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

// The box MsgBox shows a user: the columns box below for a text whose lines
// hold TABs or for the style WholeLines, else Qt's message box. Either is at
// least captionWidth(title) wide.
std::unique_ptr<QDialog> messageBox(const QString& text, int style, const QString& title, QWidget* owner);

// A box that shows each line of its text whole, where a plain message box
// would wrap it: what stands before a line's first TAB in one column and what
// follows its last TAB in a second, so the descriptions line up.
std::unique_ptr<QDialog> columnsBox(const QString& text, int style, const QString& title, QWidget* owner);

// The least width of a box whose title bar shows `title` whole, with room for
// the window manager's icon and buttons.
int captionWidth(const QString& title);

// The words of the standard buttons (OK, Cancel, Yes, No...) where the program
// words them itself; an empty word, or no wording at all, leaves a button to
// Qt's translations.
using ButtonWording = std::function<QString(int standardButton)>;
void setButtonWording(ButtonWording wording);

// The one line a box becomes on standard error where no one can see it: its
// title and its text, joined as the program's language joins a caption to its
// text; "title: text" unless the program sets its own.
using HeadlessLine = std::function<QString(const QString& title, const QString& text)>;
void setHeadlessLine(HeadlessLine line);

// Words the buttons of `buttons` by the program's wording.
void wordButtons(QDialogButtonBox& buttons);

// True when windows cannot be seen or answered by anyone.
bool isHeadless();

// A test's stand-in for the user at message boxes: it gets what the box would
// show and returns the answer. Null restores the real boxes.
using MsgBoxAnswerer = std::function<int(const QString& text, int style, const QString& title)>;
void setMsgBoxAnswerer(MsgBoxAnswerer answerer);

// A test's stand-in for the user at dialogs that need an answer: called with
// the dialog once it runs modally, it fills it in and closes it. Null restores
// the rule that nobody answers on a headless platform.
using DialogAnswerer = std::function<void(QDialog& dialog)>;
void setDialogAnswerer(DialogAnswerer answerer);

// Someone can answer a dialog: a user at a real display, or a test's answerer.
bool canAnswerDialogs();

// Runs the dialog modally through QDialog's own exec and returns its result.
// When nobody can answer it, it is not shown and counts as rejected. A dialog
// without a parent becomes owned by, and centred on, the window it belongs to.
int execModal(QDialog& dialog);

// The window a dialog about to be shown belongs to: the modal dialog in front,
// else the active window, else the program's shown main window; nullptr when
// the program shows no window (as at start), so the dialog centres on the screen.
QWidget* dialogOwner(const QWidget* except = nullptr);
