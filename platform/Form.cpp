#include "platform/Form.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QWindow>

#include "platform/Errors.h"
#include "platform/Twips.h"

namespace platform {

namespace {
// A form is a window to a screen reader too: without this a plain top-level widget is
// announced as a filler, not as a frame with a title.
QAccessibleInterface* accessibleForm(const QString& key, QObject* object)
{
    if (key == QLatin1String("platform::Form") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}
} // namespace

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window), client_(new QWidget(this))
{
    static const bool factoryInstalled = (QAccessible::installFactory(accessibleForm), true);
    Q_UNUSED(factoryInstalled);
    client_->setObjectName(QStringLiteral("client"));
    QFont f(QStringLiteral("Verdana"));
    f.setPointSizeF(8.25);
    setFont(f);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

Form::~Form() = default;

QMenuBar* Form::menuBar()
{
    if (!menuBar_) {
        menuBar_ = new QMenuBar(this);
        menuBar_->setNativeMenuBar(false);
        layoutChrome();
    }
    return menuBar_;
}

void Form::layoutChrome()
{
    const int top = menuBar_ ? menuBar_->sizeHint().height() : 0;
    if (menuBar_)
        menuBar_->setGeometry(0, 0, width(), top);
    client_->setGeometry(0, top, width(), std::max(0, height() - top));
    if (docked_) {
        const int h = docked_->height();
        docked_->setGeometry(0, client_->height() - h, client_->width(), h);
    }
}

void Form::setClientSizeTwips(int w, int h)
{
    const int top = menuBar_ ? menuBar_->sizeHint().height() : 0;
    resize(px(w), px(h) + top);
    layoutChrome(); // a hidden window gets its resize event only when shown
}

int Form::clientWidthTwips() const { return twips(client_->width()); }
int Form::clientHeightTwips() const { return twips(client_->height()); }

QSize Form::frameExtra() const
{
    if (!isVisible())
        return {0, 0};
    const QRect frame = frameGeometry();
    return {frame.width() - width(), frame.height() - height()};
}

bool Form::frameComing() const
{
    // On X11 a window manager frames a window some time after it is mapped; until then Qt
    // reports no frame. Elsewhere (Wayland's own decorations, the offscreen platform) the
    // frame is known, or there is none, from the start.
    return isVisible() && frameExtra().isNull() && QGuiApplication::platformName() == QLatin1String("xcb");
}

void Form::setOuterSizeTwips(int w, int h)
{
    const QSize outer(px(w), px(h));
    if (frameComing()) {
        // A size asked for now would be a guess without the frame, and the window
        // manager's answer to it can arrive after the frame and undo the size set then.
        // The size waits for the frame and is asked for once, right.
        pendingOuter_ = outer;
        return;
    }
    const QSize extra = frameExtra();
    if (!isVisible() || extra.isNull())
        pendingOuter_ = outer; // the frame is not known yet
    else
        pendingOuter_.reset();
    resize(std::max(1, outer.width() - extra.width()), std::max(1, outer.height() - extra.height()));
    layoutChrome();
}

void Form::setOuterWidthTwips(int w) { setOuterSizeTwips(w, outerHeightTwips()); }
void Form::setOuterHeightTwips(int h) { setOuterSizeTwips(outerWidthTwips(), h); }

// While the frame is on its way, the outer size is the one waiting for it.
int Form::outerWidthTwips() const
{
    return frameComing() && pendingOuter_ ? twips(pendingOuter_->width()) : twips(width() + frameExtra().width());
}
int Form::outerHeightTwips() const
{
    return frameComing() && pendingOuter_ ? twips(pendingOuter_->height()) : twips(height() + frameExtra().height());
}

void Form::applyPendingOuter(bool frameOrNone)
{
    if (!pendingOuter_ || !isVisible() || (frameExtra().isNull() && !frameOrNone))
        return;
    const QSize outer = *pendingOuter_;
    pendingOuter_.reset();
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const QSize extra = frameExtra();
    resize(outer.width() - extra.width(), outer.height() - extra.height());
}

void Form::placeClientAtTwips(int left, int top)
{
    setGeometry(QRect(QPoint(px(left), px(top)), size()));
}

FormWindowState Form::windowStateValue() const
{
    if (windowState() & Qt::WindowMinimized)
        return vbMinimized;
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return vbMaximized;
    return vbNormal;
}

bool Form::keepMinimumOuterSize(int minWidthTwips, int minHeightTwips)
{
    if (windowStateValue() == vbMinimized)
        return false;
    if (outerWidthTwips() < minWidthTwips)
        setOuterWidthTwips(minWidthTwips);
    if (outerHeightTwips() < minHeightTwips)
        setOuterHeightTwips(minHeightTwips);
    return true;
}

void Form::dockBottom(QWidget* control)
{
    docked_ = control;
    layoutChrome();
}

bool Form::Load()
{
    if (loaded_)
        return true;
    loaded_ = true;
    unloaded_ = false;
    if (!Guard([this] { Form_Load(); })) {
        loaded_ = false;
        return false;
    }
    return true;
}

void Form::showModal(QWidget* owner)
{
    if (owner) {
        // Owned: stays above its owner; the owner takes no input meanwhile. The window
        // manager learns of the owner only from WM_TRANSIENT_FOR, which Qt writes on X11
        // for dialog-type windows alone, so a sizable window becomes a dialog that keeps
        // its border, caption buttons and system menu. Re-parenting re-creates the native
        // window, so the size limits are set on it again.
        Qt::WindowFlags flags = windowFlags();
        if ((flags & Qt::WindowType_Mask) == Qt::Window)
            flags = (flags & ~Qt::WindowType_Mask) | Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
        const QSize minSize = minimumSize(), maxSize = maximumSize();
        const bool placed = testAttribute(Qt::WA_Moved);
        setParent(owner->window(), flags);
        setMinimumSize(minSize);
        setMaximumSize(maxSize);
        // A window its load did not place goes where owned windows go, over the middle of
        // its owner; left to itself, a dialog-type window would keep the corner of the
        // screen that it had as a child, its caption above the screen's edge.
        if (!placed) {
            const QRect ownerFrame = owner->window()->frameGeometry();
            move(ownerFrame.center() - QPoint(width() / 2, height() / 2));
        }
    }
    // A load that failed, or that closed the window itself, shows nothing.
    if (!Load() || unloaded_)
        return;
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    modalLoop_ = &loop;
    show();
    runResize();
    activateWindow();
    if (!unloaded_)
        loop.exec(QEventLoop::DialogExec);
    modalLoop_ = nullptr;
    if (owner) {
        // The owner is active again, whatever the window system reports.
        QWidget* w = owner->window();
        w->activateWindow();
        if (auto* f = qobject_cast<Form*>(w))
            Guard([f] { f->Form_Activate(); });
    }
}

bool Form::showNormal()
{
    if (!Load())
        return false;
    show();
    runResize();
    return true;
}

void Form::Unload()
{
    // Works also on a window that was loaded and never shown.
    if (loaded_ && !unloaded_) {
        QCloseEvent e;
        closeEvent(&e);
    }
    close();
}

void Form::closeEvent(QCloseEvent* e)
{
    if (!unloaded_) {
        unloaded_ = true;
        // The unload never refuses: whatever fails, the window closes.
        Guard([this] { Form_Unload(); });
        loaded_ = false;
    }
    e->accept();
    if (modalLoop_)
        modalLoop_->quit();
}

void Form::runResize()
{
    if (inResize_ || !loaded_)
        return;
    inResize_ = true;
    Guard([this] { Form_Resize(); });
    inResize_ = false;
}

void Form::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    layoutChrome();
    if (isVisible())
        runResize();
}

void Form::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && isVisible())
        runResize();
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && loaded_)
        Guard([this] { Form_Activate(); });
}

void Form::keyPressEvent(QKeyEvent* e)
{
    const bool enter = (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && e->modifiers() == Qt::NoModifier;
    if (enter && defaultButton_ && defaultButton_->isEnabled()) {
        defaultButton_->click();
        return;
    }
    if (e->key() == Qt::Key_Escape && cancelButton_ && cancelButton_->isEnabled()) {
        cancelButton_->click();
        return;
    }
    QWidget::keyPressEvent(e);
}

bool Form::event(QEvent* e)
{
    const bool r = QWidget::event(e);
    if (e->type() == QEvent::Move || e->type() == QEvent::Resize || e->type() == QEvent::Show)
        applyPendingOuter(false);
    // Painted: the window is on the screen, framed by now if a window manager frames it.
    if (e->type() == QEvent::Paint && pendingOuter_)
        applyPendingOuter(true);
    return r;
}

} // namespace platform
