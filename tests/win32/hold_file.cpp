// Holds a file open with no sharing, as another program might hold a page: prints "held" once
// it has it and keeps it until standard input ends; exit code 1 when it cannot open it.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    const HANDLE file = argc != 2 ? INVALID_HANDLE_VALUE
                                  : CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
