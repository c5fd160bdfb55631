// A registry file of the test's own (PLATFORM_REGISTRY), removed afterwards, so
// that tests running in parallel never share one.
#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

class RegistryScope {
public:
    RegistryScope() {
        if (const char* p = std::getenv("PLATFORM_REGISTRY")) previous_ = p;
        char templ[] = "/tmp/lpt-registry-test-XXXXXX";
        const int fd = mkstemp(templ);
        if (fd < 0) std::abort();
        close(fd);
        path_ = templ;
        std::remove(path_.c_str());
        setenv("PLATFORM_REGISTRY", path_.c_str(), 1);
    }
    ~RegistryScope() {
        std::remove(path_.c_str());
        std::remove((path_ + ".lock").c_str());
        if (previous_.empty())
            unsetenv("PLATFORM_REGISTRY");
        else
            setenv("PLATFORM_REGISTRY", previous_.c_str(), 1);
    }
    RegistryScope(const RegistryScope&) = delete;
    RegistryScope& operator=(const RegistryScope&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_, previous_;
};
