// The window program.
#include "ui/UAppMain.h"

int main(int argc, char* argv[]) { return RunApplication(argc, argv); }
