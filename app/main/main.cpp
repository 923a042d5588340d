// The process entry.
#include "app/start/QuentaMain.h"

int main(int argc, char** argv) { return quentaMain(argc, argv); }
