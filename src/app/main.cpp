// Program entry: hands over to the general library's entry point with the
// front end's application.
#include "debugger/application.h"
#include "general/main.h"

int main(int argc, char** argv) { return vandrelMain(argc, argv, theApplication()); }
