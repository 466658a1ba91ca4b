#pragma once
// Helpers the entry tests share: typing as a user types, and the names of the controls.
#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QTest>
#include <QWidget>

namespace wt::test {

// Types text into a control key by key. A few characters stand for keys that type
// nothing or something special: \b Backspace, \r Enter, \x01 Home, \x1c Left, \x7f Delete.
// Characters outside Latin-1 are sent as the key event a keyboard layout would send.
inline void Type(QWidget* control, const QString& keys)
{
    for (const QChar c : keys) {
        switch (c.unicode()) {
        case '\b': QTest::keyClick(control, Qt::Key_Backspace); break;
        case '\r': QTest::keyClick(control, Qt::Key_Return); break;
        case 0x01: QTest::keyClick(control, Qt::Key_Home); break;
        case 0x1c: QTest::keyClick(control, Qt::Key_Left); break;
        case 0x7f: QTest::keyClick(control, Qt::Key_Delete); break;
        default:
            if (c.unicode() < 0x80) {
                QTest::keyClicks(control, QString(c));
            } else {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
                QApplication::sendEvent(control, &press);
                QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
                QApplication::sendEvent(control, &release);
            }
        }
    }
}

// Types text that lies outside the Basic Multilingual Plane (emoji) as one key event.
inline void TypeText(QWidget* control, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(control, &press);
}

// The named control that owns w (a date picker's or combo box's inner line edit belongs
// to the picker or the box).
inline QString OwnerName(QWidget* w, const QWidget* window)
{
    for (; w && w != window; w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            return w->objectName();
    return QString();
}

} // namespace wt::test
