#include "logbook/Logbook.h"

#include <cstdlib>
#include <filesystem>

namespace wtlog {

namespace fs = std::filesystem;

std::string DefaultLogbookPath(const std::string& executableFolder)
{
    fs::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        data = fs::path(home) / ".local" / "share";
    if (!data.empty()) {
        const fs::path installed = data / "wingtrail" / "Wingtrail.dat";
        std::error_code ec;
        if (fs::exists(installed, ec))
            return installed.string();
    }
    return (fs::path(executableFolder) / "Wingtrail.dat").string();
}

std::string ExecutableFolder()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

void OpenLogbook(store::Connection& connection, const std::string& path)
{
    connection.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + store::ConnectionString::quote(path)
                    + ";Persist Security Info=False");
}

} // namespace wtlog
