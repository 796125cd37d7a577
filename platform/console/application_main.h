// The platform's main entry: what a program hands its command line to.
//
// It reads the platform options (docs/console.md lists them), loads the main
// interface file that the bundle's information file names
// ("MainInterfaceFile"), with the application as the file's owner, starts
// the console front end on standard input, sends the application delegate
// applicationDidFinishLaunching, runs the main run loop until the
// application terminates (Quit, or SIGTERM, SIGINT or SIGHUP, which end it
// the same way), sends applicationWillTerminate, removes the radio's socket
// and returns the exit status: 0 after Quit, 128 + the signal's number after
// a signal, 2 for a command line it cannot use (then with the usage), 0 after
// printing the usage for --help, 1 when the main interface file is missing or
// unusable.
#pragma once

namespace ui {

int ApplicationMain(int argc, char** argv);

}  // namespace ui
