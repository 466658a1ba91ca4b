#include <QColor>
#include <QImage>
#include <QString>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "Dataset.h"
#include "store/Logbook.h"

namespace fs = std::filesystem;

namespace bench {

void PlacePicture(const std::string& folder)
{
    const fs::path root(folder);
    fs::create_directories(root / "images");
    // The main window stretches whatever picture it finds; its size matters little.
    const fs::path picture = root / "images" / "Wingtrail.img";
    if (fs::exists(picture))
        return;
    QImage image(299, 153, QImage::Format_RGB32);
    image.fill(QColor(40, 90, 160));
    if (!image.save(QString::fromStdString(picture.string()), "PNG"))
        throw std::runtime_error("cannot write " + picture.string());
}

std::string MakeProgramFolder(const std::string& folder, const std::string& logbookFrom, const std::string& executable)
{
    const fs::path root(folder);
    PlacePicture(folder);
    const fs::path database = root / "Wingtrail.dat";
    fs::remove(database);
    fs::remove(root / "Wingtrail.dat-journal");
    if (logbookFrom.empty())
        logbook::CreateLogbook(database.string());
    else
        fs::copy_file(logbookFrom, database);
    // On disk before anything is timed: otherwise the first durable write to the copy
    // would wait for all of its pages to be written back.
    const int fd = ::open(database.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot sync " + database.string());
    }
    ::close(fd);
    if (!executable.empty())
        fs::copy_file(executable, root / fs::path(executable).filename(), fs::copy_options::overwrite_existing);
    return folder;
}

} // namespace bench
