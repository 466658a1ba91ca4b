#include "platform/Controls.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <climits>

#include "platform/Binding.h"
#include "platform/Errors.h"
#include "platform/MsgBox.h"
#include "platform/Twips.h"

namespace platform {

int KeyAsciiOf(const QKeyEvent* e)
{
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return -1;
    switch (e->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return -1;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Backspace:
        return 8;
    default:
        break;
    }
    const QString text = e->text();
    if (text.isEmpty())
        return -1;
    const auto codes = text.toUcs4();
    return codes.isEmpty() ? -1 : static_cast<int>(codes.front());
}

namespace {
// Runs the KeyPress handler; returns the event the box should receive, or null to drop.
std::unique_ptr<QKeyEvent> filtered(const KeyPressHandler& handler, QKeyEvent* e, bool& drop)
{
    drop = false;
    if (!handler)
        return nullptr;
    const int original = KeyAsciiOf(e);
    if (original < 0)
        return nullptr;
    int code = original;
    handler(code);
    if (code == 0) {
        drop = true;
        return nullptr;
    }
    if (code == original)
        return nullptr;
    const QString text = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
    const int key = (code >= 'a' && code <= 'z') ? code - 32 : code;
    return std::make_unique<QKeyEvent>(QEvent::KeyPress, key, e->modifiers(), text, e->isAutoRepeat());
}
} // namespace

TextBox::TextBox(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] { fitLimitToText(); });
}

void TextBox::setMaxLengthLimit(int characters)
{
    limit_ = characters > 0 ? characters : 0;
    fitLimitToText();
}

void TextBox::showText(const QString& text)
{
    // QLineEdit cuts a text at its maximum length; make room first.
    if (text.size() > maxLength())
        setMaxLength(static_cast<int>(text.size()));
    setText(text);
}

void TextBox::fitLimitToText()
{
    const int wanted = limit_ > 0 ? std::max(limit_, static_cast<int>(text().size())) : INT_MAX;
    if (maxLength() == wanted)
        return;
    // Changing the maximum puts the caret at the end; keep it where the user left it.
    const int caret = cursorPosition();
    setMaxLength(wanted);
    setCursorPosition(caret);
}

QString TextBox::throughKeyPress(const QString& text) const
{
    if (!KeyPress)
        return text;
    SingleBeep once;
    QString taken;
    for (const char32_t original : text.toUcs4()) {
        int code = static_cast<int>(original);
        KeyPress(code);
        if (code == 0)
            continue; // the hook dropped it, and beeped if it wanted to
        // Backspace and other control characters are keys; typed, they never land in the
        // box as characters, so pasted they do not either.
        const auto c = static_cast<char32_t>(code);
        if (code < 0 || c > 0x10FFFF || !QChar::isPrint(c)) {
            Beep();
            continue;
        }
        taken += QString::fromUcs4(&c, 1);
    }
    return taken;
}

void TextBox::pasteFrom(int clipboardMode)
{
    if (isReadOnly())
        return;
    // Everything refused leaves the box as it was, as a refused typed character does.
    const QString taken = throughKeyPress(QGuiApplication::clipboard()->text(static_cast<QClipboard::Mode>(clipboardMode)));
    if (!taken.isEmpty())
        insert(taken); // the length limit cuts it as it cuts a paste
}

void TextBox::paste()
{
    if (KeyPress)
        pasteFrom(QClipboard::Clipboard);
    else
        QLineEdit::paste();
}

void TextBox::keyPressEvent(QKeyEvent* e)
{
    if (KeyPress && !isReadOnly()) {
        if (e->matches(QKeySequence::Paste)) {
            // Ctrl+Shift+Insert pastes the selection where that is the custom (X11).
            const bool selection = e->key() == Qt::Key_Insert
                && e->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier);
            pasteFrom(selection ? QClipboard::Selection : QClipboard::Clipboard);
            e->accept();
            return;
        }
        // A key event that carries several characters (a compose sequence, a remote or
        // automated keyboard) would otherwise be judged by its first character alone.
        if (KeyAsciiOf(e) >= 0 && e->text().toUcs4().size() > 1) {
            const QString taken = throughKeyPress(e->text());
            if (!taken.isEmpty())
                insert(taken);
            e->accept();
            return;
        }
    }
    bool drop = false;
    auto replacement = filtered(KeyPress, e, drop);
    if (drop) {
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(replacement ? replacement.get() : e);
}

void TextBox::mouseReleaseEvent(QMouseEvent* e)
{
    if (KeyPress && e->button() == Qt::MiddleButton && !isReadOnly()
        && QGuiApplication::clipboard()->supportsSelection()) {
        deselect();
        pasteFrom(QClipboard::Selection);
        e->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(e);
}

void TextBox::contextMenuEvent(QContextMenuEvent* e)
{
    if (!KeyPress)
        return QLineEdit::contextMenuEvent(e);
    QMenu* menu = createStandardContextMenu();
    if (!menu)
        return;
    // The menu's Paste is wired to QLineEdit::paste, by name in this Qt and perhaps by
    // pointer in another; either way it is rewired to ours.
    for (QAction* action : menu->actions())
        if (QObject::disconnect(action, &QAction::triggered, this, &QLineEdit::paste)
            || QObject::disconnect(action, SIGNAL(triggered(bool)), this, SLOT(paste())))
            connect(action, &QAction::triggered, this, [this] { paste(); });
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

void TextBox::dropEvent(QDropEvent* e)
{
    if (!KeyPress || isReadOnly() || !e->mimeData()->hasText())
        return QLineEdit::dropEvent(e);
    const QString taken = throughKeyPress(e->mimeData()->text());
    if (taken.isEmpty()) {
        e->ignore(); // nothing lands, and a text dragged from elsewhere stays where it was
        return;
    }
    QMimeData passed;
    passed.setText(taken);
    QDropEvent passedOn(e->position(), e->possibleActions(), &passed, e->buttons(), e->modifiers(), e->type());
    passedOn.setDropAction(e->dropAction());
    QLineEdit::dropEvent(&passedOn);
    e->setDropAction(passedOn.dropAction());
    e->setAccepted(passedOn.isAccepted());
}

void TextBox::inputMethodEvent(QInputMethodEvent* e)
{
    if (!KeyPress || e->commitString().isEmpty())
        return QLineEdit::inputMethodEvent(e);
    QInputMethodEvent passedOn(e->preeditString(), e->attributes());
    passedOn.setCommitString(throughKeyPress(e->commitString()), e->replacementStart(), e->replacementLength());
    QLineEdit::inputMethodEvent(&passedOn);
    e->setAccepted(passedOn.isAccepted());
}

MultiLineTextBox::MultiLineTextBox(QWidget* parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int MultiLineTextBox::room() const
{
    if (maxLength_ <= 0)
        return INT_MAX;
    const int selected = static_cast<int>(textCursor().selectedText().size());
    return maxLength_ - static_cast<int>(toPlainText().size()) + selected;
}

void MultiLineTextBox::keyPressEvent(QKeyEvent* e)
{
    bool drop = false;
    auto replacement = filtered(KeyPress, e, drop);
    if (drop) {
        e->accept();
        return;
    }
    QKeyEvent* ev = replacement ? replacement.get() : e;
    const int code = KeyAsciiOf(ev);
    if (code >= 0 && code != 8 && room() <= 0) {
        e->accept(); // full: the character is not taken
        return;
    }
    QPlainTextEdit::keyPressEvent(ev);
}

void MultiLineTextBox::insertFromMimeData(const QMimeData* source)
{
    if (!source->hasText())
        return;
    const int space = room();
    if (space <= 0)
        return;
    insertPlainText(source->text().left(space));
}

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent)
{
    setDateRange(QDate(1601, 1, 1), QDate(9999, 12, 31));
    setDisplayFormat(QStringLiteral("dd-MM-yyyy"));
    setCalendarPopup(true);
}

bool DatePicker::focusNextPrevChild(bool next) { return QAbstractSpinBox::focusNextPrevChild(next); }

void DatePicker::showCalendar()
{
    if (isReadOnly() || !calendarPopup())
        return;
    // The calendar opens from a press on the arrow; QDateTimeEdit has no other way in.
    QStyleOptionComboBox combo;
    combo.initFrom(this);
    combo.editable = true;
    combo.subControls = QStyle::SC_All;
    const QRect arrow = style()->subControlRect(QStyle::CC_ComboBox, &combo, QStyle::SC_ComboBoxArrow, this);
    const QPointF at = arrow.isValid() ? QPointF(arrow.center()) : QPointF(width() - 4, height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QDateEdit::mousePressEvent(&press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QDateEdit::mouseReleaseEvent(&release);
}

void DatePicker::keyPressEvent(QKeyEvent* e)
{
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    const bool vertical = e->key() == Qt::Key_Up || e->key() == Qt::Key_Down;
    if ((e->key() == Qt::Key_F4 && mods == Qt::NoModifier) || (vertical && mods == Qt::AltModifier)) {
        showCalendar();
        e->accept();
        return;
    }
    const bool steps = vertical || e->key() == Qt::Key_PageUp || e->key() == Qt::Key_PageDown;
    if (steps && (mods & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier))) {
        e->accept();
        return;
    }
    QDateEdit::keyPressEvent(e);
}

namespace {
class ComboBoxAccessible : public QAccessibleWidget {
public:
    explicit ComboBoxAccessible(ComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return combo()->currentText();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = combo()->view() && combo()->view()->isVisible();
        s.editable = combo()->isEditable();
        return s;
    }

    QStringList actionNames() const override
    {
        return {QAccessibleActionInterface::showMenuAction(), QAccessibleActionInterface::pressAction()};
    }

    void doAction(const QString& action) override
    {
        if (action == QAccessibleActionInterface::showMenuAction() || action == QAccessibleActionInterface::pressAction())
            combo()->showPopup();
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* accessibleComboBox(const QString& key, QObject* object)
{
    if (key == QLatin1String("platform::ComboBox"))
        return new ComboBoxAccessible(static_cast<ComboBox*>(object));
    return nullptr;
}
} // namespace

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent)
{
    static const bool factoryInstalled = (QAccessible::installFactory(accessibleComboBox), true);
    Q_UNUSED(factoryInstalled);
}

void ComboBox::setAccessibleNames(const QString& name)
{
    setAccessibleName(name);
    if (lineEdit())
        lineEdit()->setAccessibleName(name);
}

PictureBox::PictureBox(QWidget* parent) : QLabel(parent) {}

void PictureBox::paintEvent(QPaintEvent* e)
{
    QLabel::paintEvent(e);
    if (!hasFocus())
        return;
    // Inside the border, around what the window shows of the picture. A style's focus
    // frame is drawn in the highlight colour, lost on a blue banner: the frame is a dashed
    // line of the text and base colours on each other, which shows on any picture.
    const QRect r = visibleRegion().boundingRect().intersected(contentsRect()).adjusted(1, 1, -2, -2);
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Base), 1, Qt::SolidLine));
    painter.drawRect(r);
    painter.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DashLine));
    painter.drawRect(r);
}

void PictureBox::focusInEvent(QFocusEvent* e)
{
    QLabel::focusInEvent(e);
    update();
}

void PictureBox::focusOutEvent(QFocusEvent* e)
{
    QLabel::focusOutEvent(e);
    update();
}

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent)
{
    auto* panel = new QLabel(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setFixedWidth(px(1440));
    addWidget(panel);
    setSizeGripEnabled(false);
    setFixedHeight(px(270));
}

QLabel* MakePictureBox(QWidget* parent, const QString& name, const QPixmap& picture, int leftTwips,
                       int topTwips)
{
    auto* box = new PictureBox(parent);
    box->setObjectName(name);
    box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    box->setLineWidth(2);
    box->setPixmap(picture);
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A picture box is a tab stop of its window, as the classic one was.
    box->setFocusPolicy(Qt::StrongFocus);
    // Sized in logical pixels: a high-density picture covers what its scale-1 picture would.
    const QSize size = picture.deviceIndependentSize().toSize();
    box->setGeometry(px(leftTwips), px(topTwips), size.width() + 4, size.height() + 4);
    return box;
}

QLabel* MakeImage(QWidget* parent, const QString& name, int left, int top, int width, int height)
{
    auto* img = new QLabel(parent);
    img->setObjectName(name);
    img->setScaledContents(true);
    img->setGeometry(pxRect(left, top, width, height));
    return img;
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top,
                  int width, int height)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(pxRect(left, top, width, height));
    return label;
}

void OnClick(QAbstractButton* button, std::function<void()> handler)
{
    QObject::connect(button, &QAbstractButton::clicked, button, [button, h = std::move(handler)] {
        Guard([&] {
            try {
                h();
            } catch (const store::ValueRefused& refused) {
                // A value the logbook will not take is the user's to correct, not a fault of
                // the program: the handler ends where the store refused it, the window
                // stays open with everything entered, and the user is told what to change.
                ReportRefusedValue(button->window(), refused, button->text());
            }
        });
    });
}

} // namespace platform
