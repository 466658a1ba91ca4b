#include "platform/Errors.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "platform/App.h"

namespace platform {

namespace {
RuntimeErrorHandler& handler()
{
    static RuntimeErrorHandler h;
    return h;
}
RemedyFinder& remedyFinder()
{
    static RemedyFinder f;
    return f;
}
} // namespace

QString RuntimeErrorText(const RuntimeError& error)
{
    QString text = QStringLiteral("Run-time error '%1':\n\n%2")
                       .arg(error.number())
                       .arg(QString::fromStdString(error.description()));
    // Finding a remedy must not become a second failure.
    std::string remedy;
    try {
        if (remedyFinder())
            remedy = remedyFinder()(error);
    } catch (...) {
        remedy.clear();
    }
    if (!remedy.empty())
        text += QStringLiteral("\n\n") + QString::fromStdString(remedy);
    return text;
}

void setRemedyFinder(RemedyFinder finder) { remedyFinder() = std::move(finder); }

void HandleRuntimeError(const RuntimeError& error)
{
    if (handler()) {
        handler()(error);
        return;
    }
    const QString text = RuntimeErrorText(error);
    std::fprintf(stderr, "%s\n", qPrintable(text));
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QMessageBox box(QMessageBox::Critical, App::Title(), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    }
    // Every Save is committed when it returns, so ending here loses nothing that was saved.
    std::fflush(nullptr);
    std::_Exit(kRuntimeErrorExitCode);
}

void setRuntimeErrorHandler(RuntimeErrorHandler h) { handler() = std::move(h); }

bool Guard(const std::function<void()>& f)
{
    try {
        f();
        return true;
    } catch (const RuntimeError& e) {
        HandleRuntimeError(e);
    } catch (const std::bad_alloc&) {
        HandleRuntimeError(RuntimeError(store::err::OutOfMemory,
                                        "Out of memory: the machine gave the program no more memory."));
    } catch (const std::filesystem::filesystem_error& e) {
        HandleRuntimeError(RuntimeError(store::err::PathFileAccess, std::string("Path/File access error: ") + e.what()));
    } catch (const std::exception& e) {
        // Not a file, value or engine failure that we know of: say so, and what it said.
        HandleRuntimeError(RuntimeError(store::err::InternalError, std::string("Internal error: ") + e.what()));
    } catch (...) {
        HandleRuntimeError(RuntimeError(store::err::InternalError, "Internal error: an unknown failure."));
    }
    return false;
}

} // namespace platform
