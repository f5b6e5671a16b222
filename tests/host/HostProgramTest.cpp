#include "HostTestSupport.h"
int main(int argc, char** argv) { return RunHostTests(argc, argv); }
