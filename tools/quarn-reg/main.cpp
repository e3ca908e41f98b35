#include "tools/quarn-reg/QuarnReg.h"

#include <iostream>

int main(int argc, char** argv) {
    return RunQuarnReg(std::vector<std::string>(argv + 1, argv + argc), std::cin, std::cout,
                       std::cerr);
}
