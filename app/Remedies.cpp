#include "app/Remedies.h"

#include <filesystem>
#include <system_error>

#include "store/Logbook.h"

std::string StartupRemedy(const store::RuntimeError& error, const std::string& programFolder)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string logbookPath = logbook::ProgramFile(programFolder, logbook::kDatabaseFile);
    // Every window reaches the logbook: whatever failed, without it nothing can work.
    if (!fs::exists(logbookPath, ec) && !ec)
        return "There is no logbook at '" + logbookPath + "'. To start a new, empty one, run:\n"
               "wingtrail-createdb '" + logbookPath + "'\n"
               "or start Wingtrail with its launcher, wingtrail, which makes one by itself. "
               "To go on with a logbook you have, copy it to that place.";
    const std::string picturePath = logbook::ProgramFile(programFolder, logbook::kImageFile);
    if (error.description().find(picturePath) != std::string::npos)
        return "Wingtrail shows the picture '" + picturePath + "' in its main window. Put a picture file "
               "there (PNG, JPEG or BMP, named Wingtrail.img), or start Wingtrail with its launcher, "
               "wingtrail, which puts its sample picture there when none is.";
    return {};
}
