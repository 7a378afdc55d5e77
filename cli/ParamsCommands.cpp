// params read, save, load and reset.
#include "Cli.h"

int RunParams(const CliOptions&)
{
    return UsageError("params: not available yet");
}
