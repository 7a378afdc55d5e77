#include "platform/FileChooser.h"

#include <memory>
#include <mutex>

namespace kmr {
namespace {
std::mutex g_lock;
std::shared_ptr<const FileChooser> g_chooser;
}

std::string ChooseFile(const std::string& filter, const std::string& defaultExtension,
                       const std::string& initialName, bool mustExist)
{
    std::shared_ptr<const FileChooser> chooser;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        chooser = g_chooser;
    }
    if (chooser && *chooser)
        return (*chooser)(filter, defaultExtension, initialName, mustExist);
    return {};
}

FileChooser SetFileChooser(FileChooser chooser)
{
    auto next = chooser ? std::make_shared<const FileChooser>(std::move(chooser)) : nullptr;
    std::lock_guard<std::mutex> lock(g_lock);
    FileChooser previous = g_chooser ? *g_chooser : FileChooser{};
    g_chooser = std::move(next);
    return previous;
}

} // namespace kmr
