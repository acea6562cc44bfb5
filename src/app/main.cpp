// Program entry: hands over to the general library's entry point with the
// front end's application.
#include "general/main.h"

#include "debugger/application.h"

int main(int argc, char** argv) { return vandrelMain(argc, argv, theApplication()); }
