#pragma once
// A window as the classic runtime knew it: sizes in twips, an outer size (frame and caption
// included) and a client area (below the menu bar), Load / Unload / Activate / Resize
// events, and modal showing over an owner that returns once the window has closed.
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <QAbstractButton>
#include <optional>

class QMenuBar;
class QEventLoop;

namespace platform {

enum FormWindowState : int { vbNormal = 0, vbMinimized = 1, vbMaximized = 2 };

class Form : public QWidget {
    Q_OBJECT
public:
    explicit Form(QWidget* parent = nullptr);
    ~Form() override;

    // Controls are placed on the client area, in twips from its top-left corner.
    QWidget* client() const { return client_; }
    // The menu bar, made on first use; it lies above the client area.
    QMenuBar* menuBar();

    void setClientSizeTwips(int width, int height);
    int clientWidthTwips() const;
    int clientHeightTwips() const;

    // Outer size: the window with its frame and caption. Before the window manager has
    // framed the window the frame is unknown; the size is then applied again once it is.
    void setOuterSizeTwips(int width, int height);
    void setOuterWidthTwips(int width);
    void setOuterHeightTwips(int height);
    int outerWidthTwips() const;
    int outerHeightTwips() const;

    // Places the client area's top-left corner on the screen, in twips.
    void placeClientAtTwips(int left, int top);

    FormWindowState windowStateValue() const;

    // The minimum-size rule the sizable windows share: a minimized window is left alone
    // (false); otherwise the outer width, then the outer height, goes back to its minimum
    // when it is below it, each by itself (true).
    bool keepMinimumOuterSize(int minWidthTwips, int minHeightTwips);

    // Keeps a control along the bottom edge of the client area, across its full width.
    void dockBottom(QWidget* control);

    // Runs Form_Load once; false when it failed (the general error handler has run).
    bool Load();
    // Loads the window if needed and shows it modally over owner (application-modal when
    // owner is null). Returns after the window has closed and its unload has run.
    void showModal(QWidget* owner);
    // Loads the window if needed and shows it without blocking (the start-up window).
    bool showNormal();
    // Closes the window; its unload runs.
    void Unload();
    // Enter presses the default button, Escape the cancel button (either may be null).
    void setDefaultButton(class QAbstractButton* button) { defaultButton_ = button; }
    void setCancelButton(class QAbstractButton* button) { cancelButton_ = button; }
    bool isLoaded() const { return loaded_; }

protected:
    virtual void Form_Load() {}
    virtual void Form_Unload() {}
    virtual void Form_Activate() {}
    virtual void Form_Resize() {}

    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QSize frameExtra() const;
    void layoutChrome();
    bool frameComing() const;
    // frameOrNone: the window is on the screen, so a frame still unknown is none at all.
    void applyPendingOuter(bool frameOrNone);
    void runResize();

    QWidget* client_;
    QMenuBar* menuBar_ = nullptr;
    QWidget* docked_ = nullptr;
    QPointer<QAbstractButton> defaultButton_;
    QPointer<QAbstractButton> cancelButton_;
    bool loaded_ = false;
    bool unloaded_ = false;
    bool inResize_ = false;
    std::optional<QSize> pendingOuter_; // pixels, waiting for the frame to be known
    QPointer<QEventLoop> modalLoop_;
};

} // namespace platform
