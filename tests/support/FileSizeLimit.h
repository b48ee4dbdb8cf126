#pragma once

#include <csignal>
#include <sys/resource.h>

namespace varnello::test {

// While alive, a write that would grow a file of this process past `bytes` fails ("File too
// large") as on a full disk, without root or a small file system; SIGXFSZ would end the process.
struct FileSizeLimit {
    rlimit previous{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous);
        const rlimit limited{bytes, previous.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &previous); }
};

} // namespace varnello::test
