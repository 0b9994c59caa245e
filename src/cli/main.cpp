// tavelix-cli: scramble, assemble, reduce, black and white and conversion of picture files
// from a shell, with the engine of the window and the same results byte for byte.

#include <iostream>
#include <variant>

#include "cli/commandline.h"
#include "cli/i18n.h"
#include "cli/run.h"
#include "cli/signals.h"
#include "engine/tavelix.h"

int main(int argc, char** argv) {
    using namespace tavelix::cli;
    SetUpTranslations();
    TRunSignals& signals = InstallSignals();
    tavelix::KeepPictureMemory();  // every file needs stores of about the sizes of the one before

    const std::variant<TOptions, int> commandLine = ReadCommandLine(argc, argv, std::cout, std::cerr);
    if (const int* status = std::get_if<int>(&commandLine)) return *status;
    return Run(std::get<TOptions>(commandLine), signals);
}
