// Sets TZ for one test and puts the old value back afterwards.
#ifndef XK_TESTS_TIME_SCOPED_TZ_H
#define XK_TESTS_TIME_SCOPED_TZ_H

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

namespace xk::test {

class ScopedTz {
public:
    explicit ScopedTz(const char *tz) {
        if (const char *old = getenv("TZ")) old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTz(const ScopedTz &) = delete;
    ScopedTz &operator=(const ScopedTz &) = delete;

private:
    std::optional<std::string> old_;
};

}  // namespace xk::test

#endif
