// main.cpp - zor-cli, the command-line companion of ZOR.
#include <cstdio>

int main() {
    std::puts("zor-cli 2.00");
    return 0;
}
