// mariasetup: installs the driver's files from the archive beside it into
// the application server's program directory. Takes no arguments; must be
// run by the super-user. See installer/setup_program.h.
#include "installer/setup_program.h"

int main(int argc, char** argv) { return nSetupMain(argc, argv); }
