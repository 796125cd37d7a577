// The program's entry: the command line goes unread to the platform's
// application main loop, and its result is the exit status.

#include <cstdlib>

#include "app/classes.h"
#include "platform/console/application_main.h"

int main(int argc, char** argv) {
  tovelin::registerClasses();
  std::exit(ui::ApplicationMain(argc, argv));
}
