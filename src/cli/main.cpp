// trv: the command-line companion, on the core library only. Each command is a file of its
// own; this table is their order in `trv --help`.
#include "arguments.h"

#include <array>
#include <malloc.h>

int main(int argc, char **argv)
{
    // A fixed threshold keeps large buffers mapped on their own: freed, they leave the
    // process, and they grow by remapping. The adaptive one moves them into the heap.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    static constexpr std::array kCommands{
        &trv::scanCommand,    &trv::drivesCommand, &trv::saveCommand,   &trv::dumpCommand, &trv::reportCommand,
        &trv::volumesCommand, &trv::findCommand,   &trv::exportCommand, &trv::dupsCommand, &trv::hashCommand,
        &trv::verifyCommand,  &trv::updateCommand, &trv::diffCommand};
    return trv::runCommandLine(kCommands, argc, argv);
}
