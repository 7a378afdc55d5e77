#include "platform/FileChooser.h"

#include "platform/Hook.h"

namespace kmr {
namespace {
CHook<FileChooser> g_chooser;
}

std::string ChooseFile(const std::string& filter, const std::string& defaultExtension,
                       const std::string& initialName, bool mustExist)
{
    if (auto chooser = g_chooser.Get(); chooser && *chooser)
        return (*chooser)(filter, defaultExtension, initialName, mustExist);
    return {};
}

FileChooser SetFileChooser(FileChooser chooser)
{
    return g_chooser.Set(std::move(chooser));
}

} // namespace kmr
