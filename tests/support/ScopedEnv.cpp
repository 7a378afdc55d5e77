#include "support/ScopedEnv.h"

#include <cstdlib>

namespace {
std::optional<std::string> Current(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}
} // namespace

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : m_name(std::move(name)), m_previous(Current(m_name))
{
    setenv(m_name.c_str(), value.c_str(), 1);
}

ScopedEnv::ScopedEnv(std::string name) : m_name(std::move(name)), m_previous(Current(m_name))
{
    unsetenv(m_name.c_str());
}

ScopedEnv::~ScopedEnv()
{
    if (m_previous)
        setenv(m_name.c_str(), m_previous->c_str(), 1);
    else
        unsetenv(m_name.c_str());
}
