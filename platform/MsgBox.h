#pragma once
// The message box and the system beep, each behind a seam that tests replace.
#include <QString>
#include <functional>

namespace platform {

enum MsgBoxStyle : int {
    vbOKOnly = 0, vbOKCancel = 1, vbYesNoCancel = 3, vbYesNo = 4,
    vbCritical = 16, vbQuestion = 32, vbExclamation = 48, vbInformation = 64,
    vbDefaultButton1 = 0, vbDefaultButton2 = 256,
};
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

// Shows a modal box and returns the answer. An empty title gives the program's title.
int MsgBox(const QString& prompt, int buttons = vbOKOnly, const QString& title = QString());

struct MsgBoxCall {
    QString prompt;
    int buttons;
    QString title; // as the box shows it
};
using MsgBoxHandler = std::function<int(const MsgBoxCall&)>;
void setMsgBoxHandler(MsgBoxHandler handler); // empty restores the real box

void Beep();
void setBeepHandler(std::function<void()> handler); // empty restores the real beep

// While one lives, beeps are held back; when the outermost one ends, a single beep sounds
// if any was asked for. A text pasted into a filtered box beeps once, however many of its
// characters the filter refused.
class SingleBeep {
public:
    SingleBeep();
    ~SingleBeep();
    SingleBeep(const SingleBeep&) = delete;
    SingleBeep& operator=(const SingleBeep&) = delete;
};

} // namespace platform
