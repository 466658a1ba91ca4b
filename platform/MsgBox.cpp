#include "platform/MsgBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/App.h"

namespace platform {

namespace {
MsgBoxHandler& msgBoxHandler()
{
    static MsgBoxHandler h;
    return h;
}
std::function<void()>& beepHandler()
{
    static std::function<void()> h;
    return h;
}
int beepsHeldBy = 0;   // SingleBeep guards alive
bool beepHeld = false; // a beep was asked for while they were
} // namespace

int MsgBox(const QString& prompt, int buttons, const QString& title)
{
    const QString shownTitle = title.isEmpty() ? App::Title() : title;
    if (msgBoxHandler())
        return msgBoxHandler()({prompt, buttons, shownTitle});

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(shownTitle);
    box.setText(QString(prompt).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (buttons & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    struct Choice { QMessageBox::StandardButton button; int answer; };
    std::vector<Choice> choices;
    switch (buttons & 0x7) {
    case vbOKCancel: choices = {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}}; break;
    case vbYesNoCancel:
        choices = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
        break;
    case vbYesNo: choices = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}}; break;
    default: choices = {{QMessageBox::Ok, vbOK}}; break;
    }
    for (const auto& c : choices)
        box.addButton(c.button);
    const std::size_t defaultIndex = (buttons & vbDefaultButton2) && choices.size() > 1 ? 1 : 0;
    box.setDefaultButton(choices[defaultIndex].button);
    // Escape and the close control answer with the last button: OK, Cancel, or No for a
    // Yes/No question, as any desktop question box does.
    box.setEscapeButton(choices.back().button);
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const auto& c : choices)
        if (c.button == clicked)
            return c.answer;
    return choices.back().answer;
}

void setMsgBoxHandler(MsgBoxHandler handler) { msgBoxHandler() = std::move(handler); }

void Beep()
{
    if (beepsHeldBy > 0) {
        beepHeld = true;
        return;
    }
    if (beepHandler())
        beepHandler()();
    else
        QApplication::beep();
}

void setBeepHandler(std::function<void()> handler) { beepHandler() = std::move(handler); }

SingleBeep::SingleBeep() { ++beepsHeldBy; }

SingleBeep::~SingleBeep()
{
    if (--beepsHeldBy > 0 || !beepHeld)
        return;
    beepHeld = false;
    Beep();
}

} // namespace platform
