// The process entry of quorvel: no command line, no configuration; the driver does everything.
#include "app/driver.h"

int main() { return demoMain(); }
