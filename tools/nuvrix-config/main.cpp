// nuvrix-config: the reference host program of the configuration service.
#include "cli/CommandLine.h"

int main(int argc, char** argv) { return nuvrixconfig::CommandLine::run(argc, argv); }
