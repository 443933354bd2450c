/** @file main.cpp
 * Entry point of quorval-extension-maker: [FILE], --help, --version. */
#include "app/application.h"

int main(int argc, char** argv) { return application_main(argc, argv); }
