#pragma once
// The command line of wingtrail-logbook: parses the arguments, runs the command, returns
// the exit status (0 done, 1 an input was refused, 2 bad usage).
namespace wtlog {

int RunCli(int argc, char** argv);

} // namespace wtlog
