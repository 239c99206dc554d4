#pragma once
// An environment variable left out for an object's lifetime, and put back as it was after.

#include <cstdlib>
#include <optional>
#include <string>

namespace testing_support {

class ScopedUnset {
public:
    explicit ScopedUnset(const char* name) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        unsetenv(name);
    }
    ~ScopedUnset() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        }
    }
    ScopedUnset(const ScopedUnset&) = delete;
    ScopedUnset& operator=(const ScopedUnset&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace testing_support
