// wingtrail-createdb PATH
// Creates an empty logbook (the table tblLog and nothing else) at PATH. Refuses, and
// leaves everything as it is, when PATH already exists.
#include <cstdio>

#include "store/Logbook.h"
#include "store/RuntimeError.h"

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: wingtrail-createdb PATH\n");
        return 2;
    }
    try {
        logbook::CreateLogbook(argv[1]);
    } catch (const store::RuntimeError& e) {
        std::fprintf(stderr, "wingtrail-createdb: %s\n", e.what());
        return 1;
    }
    return 0;
}
