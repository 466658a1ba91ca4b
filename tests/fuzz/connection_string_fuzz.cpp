// Arbitrary connection strings: parsing gives a data source or refuses with the
// connection-string error, nothing else. And whatever folder the program lies in, the
// string the program builds for it names exactly that folder's logbook.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "store/Connection.h"
#include "store/Logbook.h"
#include "store/RuntimeError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool asFolder = in.ConsumeBool();
    std::string text = in.ConsumeRemainingBytesAsString();

    if (!asFolder) {
        try {
            const auto parsed = store::ConnectionString::parse(text);
            FUZZ_CHECK(!parsed.dataSource.empty(), "accepted without a data source: " + fuzz::shown(text));
        } catch (const store::RuntimeError& e) {
            FUZZ_CHECK(e.number() == store::err::BadConnectionString,
                       "refused with error " + std::to_string(e.number()) + ": " + fuzz::shown(text));
        }
        return 0;
    }

    // A program folder is an absolute path; a folder name holds any byte but NUL.
    std::string folder = "/" + text;
    if (folder.find('\0') != std::string::npos)
        return 0;
    const std::string want = logbook::ProgramFile(folder, logbook::kDatabaseFile);
    const std::string connection = logbook::ConnectionString(folder);
    try {
        const auto parsed = store::ConnectionString::parse(connection);
        FUZZ_CHECK(parsed.dataSource == want, "folder " + fuzz::shown(folder) + " gave the data source "
                                                  + fuzz::shown(parsed.dataSource));
    } catch (const store::RuntimeError& e) {
        FUZZ_CHECK(false, "the string for the folder " + fuzz::shown(folder) + " was refused: " + e.what());
    }
    return 0;
}
