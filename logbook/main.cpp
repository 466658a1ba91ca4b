// wingtrail-logbook: the companion program working on the logbook of Wingtrail.
#include "logbook/Cli.h"

int main(int argc, char** argv) { return wtlog::RunCli(argc, argv); }
