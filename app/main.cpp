/** @file main.cpp
 * Entry point of quorval-extension-maker: no arguments are read, the exit code is 0. */
#include "app/application.h"

int main() {
    return application_main();
}
