// The process set-up of POSIX: the locale comes from the environment's LC_* variables.

#include "support/widgets/VexMisc.h"

#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

// Restores the process locale a test changed.
class LocaleGuard {
public:
    LocaleGuard() : saved_(std::setlocale(LC_ALL, nullptr)) {}
    ~LocaleGuard() { std::setlocale(LC_ALL, saved_.c_str()); }

private:
    std::string saved_;
};

// Sets an environment variable for one scope.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            saved_ = old;
        }
        setenv(name, value, 1);
    }
    ~EnvGuard() {
        if (saved_) {
            setenv(name_, saved_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(VexMiscLifecycleTest, StartupTakesTheLocaleFromTheEnvironment) {
    LocaleGuard locale;
    std::setlocale(LC_ALL, "C");
    {
        EnvGuard lcAll("LC_ALL", "C.UTF-8");
        VexMiscStartup();
    }
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C.UTF-8");
    VexMiscShutdown();
}

TEST(VexMiscLifecycleTest, UnknownLocaleKeepsGoing) {
    LocaleGuard locale;
    std::setlocale(LC_ALL, "C");
    {
        EnvGuard lcAll("LC_ALL", "xx_NOWHERE.bogus");
        VexMiscStartup();
    }
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
    EXPECT_NE(GlobalStack, nullptr);
    VexMiscShutdown();
}

} // namespace
