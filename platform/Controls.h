#pragma once
// The intrinsic and common controls the windows are built from, with the classic
// behaviour the program relies on: a KeyPress event that sees every typed character
// before the box takes it, length limits, a stretching image, a picture box sized to its
// picture, a status bar with one empty panel, the platform's date picker.
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <functional>

class QAbstractButton;

namespace platform {

// Called for each typed character with its code; setting the code to 0 discards the
// character, changing it makes the box receive the new one. Keys that produce no
// character (arrows, Home, End, Delete) and Ctrl/Alt combinations never reach it.
// A single-line TextBox also hands it every character that arrives without being typed
// (see TextBox), so that its filter holds whatever way text comes in.
using KeyPressHandler = std::function<void(int& keyAscii)>;

// The character code a key event would type, or -1 for a key that types none.
int KeyAsciiOf(const class QKeyEvent* e);

// With a KeyPress hook, text that reaches the box other than as one typed character
// (pasted by key, context menu or middle click, dropped, committed by an input method, or
// a key event carrying several characters) goes through the hook one character at a time,
// as if typed: what the hook drops is left out, what it changes goes in changed, and the
// length limit holds. Characters the box cannot show (Backspace) are left out too. An
// insertion that lost any character beeps once.
class TextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent = nullptr);
    // 0 means no limit. The limit holds back what the user types or pastes; a longer text
    // that the program puts in with showText stays whole, takes no more characters and
    // loses only what the user deletes.
    void setMaxLengthLimit(int characters);
    int maxLengthLimit() const { return limit_; }
    void showText(const QString& text);
    KeyPressHandler KeyPress;
    // The clipboard's text, inserted as the user's paste is.
    void paste();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;

private:
    void fitLimitToText();
    void pasteFrom(int clipboardMode);
    // The text as the hook lets it in, character by character.
    QString throughKeyPress(const QString& text) const;
    int limit_ = 0;
};

// A multi-line text box without scroll bars: Enter starts a new line, Tab moves on.
class MultiLineTextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MultiLineTextBox(QWidget* parent = nullptr);
    void setMaxLengthLimit(int characters) { maxLength_ = characters; }
    int maxLengthLimit() const { return maxLength_; }
    KeyPressHandler KeyPress;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    int room() const;
    int maxLength_ = 0;
};

// The date picker: dates from 1601-01-01 to 9999-12-31, shown as DD-MM-YYYY.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);

protected:
    // Tab leaves the picker, as it leaves every other control; the arrow keys move
    // between day, month and year.
    bool focusNextPrevChild(bool next) override;
    // F4, Alt+Down and Alt+Up open the calendar, as they open a drop-down list; no other
    // key with Alt, Ctrl or Meta steps the date, which would change it out of sight of
    // the section the user is looking at.
    void keyPressEvent(QKeyEvent* e) override;

public:
    // Opens the calendar on the date shown, as a click on the arrow does.
    void showCalendar();
};

// An editable combo box as a screen reader should hear it: by its name (its label), with
// what it holds as its value, and its inner field named the same. (Qt's own reading on
// Linux speaks the value as the name: "SVFR" instead of "Flightrule".)
class ComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ComboBox(QWidget* parent = nullptr);
    // Names the box and its inner field for the accessibility tools.
    void setAccessibleNames(const QString& name);
};

// A status bar with one panel, 1440 twips wide, that nothing writes to.
class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);
};

// A picture box: a tab stop that shows it holds the focus with the style's focus frame
// around the part of it that is on the screen (the banner is wider than its window).
class PictureBox : public QLabel {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
};

// A picture box sized to its picture plus a 2-pixel three-dimensional border.
QLabel* MakePictureBox(QWidget* parent, const QString& name, const QPixmap& picture, int leftTwips,
                       int topTwips);
// An image control that stretches its picture to its own size.
QLabel* MakeImage(QWidget* parent, const QString& name, int left, int top, int width, int height);
// A plain, left-aligned, single-line label.
QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top,
                  int width, int height);

// Connects a button's click to a handler that runs under the general error handling.
void OnClick(QAbstractButton* button, std::function<void()> handler);

} // namespace platform
