#pragma once
// An environment variable set (or unset) for one scope: the destructor puts back the value it had
// before, or unsets it if it had none, also when a failed assertion leaves the scope early.
// Nested objects for one variable restore in reverse order, as scopes end.
#include <optional>
#include <string>

class ScopedEnv {
public:
    // Sets name to value.
    ScopedEnv(std::string name, const std::string& value);
    // Unsets name.
    explicit ScopedEnv(std::string name);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};
