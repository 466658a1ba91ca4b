#include <QString>
#include <memory>
#include <stdexcept>

#include "Runs.h"
#include "overview/ListView.h"
#include "overview/frmOverviewLog.h"
#include "platform/App.h"
#include "store/Logbook.h"
#include "store/Module1.h"

namespace bench {

FillThenSort OverviewRun(const std::string& programFolder, int sortColumn)
{
    // The shared objects as the main window leaves them after start-up: created, closed.
    platform::App::setPath(QString::fromStdString(programFolder));
    Module1::conLog = std::make_shared<store::Connection>();
    Module1::conLog->setConnectionString(logbook::ConnectionString(programFolder));
    Module1::rsLog = std::make_shared<store::Recordset>();

    FillThenSort out;
    {
        frmOverviewLog form;
        const long before = ResidentBytes();
        {
            Stopwatch clock;
            const bool loaded = form.Load();
            out.fill.ms = clock.ms();
            if (!loaded)
                throw std::runtime_error("the overview window failed to load");
        }
        out.fill.residentGrowth = ResidentBytes() - before;
        out.fill.rows = form.lstOverview->count();

        if (sortColumn > 0) {
            Stopwatch clock;
            form.lstOverview_ColumnClick(sortColumn);
            // Reading a cell brings a sort that the list defers up to date.
            out.sort.topText = form.lstOverview->count() ? form.lstOverview->text(0, sortColumn - 1) : QString();
            out.sort.ms = clock.ms();
            out.sort.rows = form.lstOverview->count();
            out.sort.residentGrowth = ResidentBytes() - before;
        }
        form.Unload();
    }
    Module1::rsLog.reset();
    Module1::conLog.reset();
    return out;
}

} // namespace bench
