// tavelix-cli: scramble, assemble, reduce, black and white and conversion of picture files
// from a shell, with the engine of the window and the same results byte for byte.

#include <malloc.h>

#include <iostream>
#include <variant>

#include "cli/commandline.h"
#include "cli/run.h"
#include "cli/signals.h"

int main(int argc, char** argv) {
    using namespace tavelix::cli;
    TRunSignals& signals = InstallSignals();
    // Every file needs stores of about the same sizes as the one before. Kept in the heap
    // instead of going back to the system at each free, they are reused without the page
    // faults of fresh memory (a fifth of the time of a JPEG scramble); the peak stays that
    // of the largest file.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);

    const std::variant<TOptions, int> commandLine = ReadCommandLine(argc, argv, std::cout, std::cerr);
    if (const int* status = std::get_if<int>(&commandLine)) return *status;
    return Run(std::get<TOptions>(commandLine), signals);
}
