#pragma once

#include <csignal>
#include <sys/resource.h>

namespace varnello::test {

// While alive, a write that would grow any file of this process past `bytes` fails with "File too
// large", as a write to a full disk fails, without root or a small file system. SIGXFSZ is
// ignored so that such a write returns its error instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limited = m_previous;
        limited.rlim_cur = bytes;
        m_active = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isActive() const { return m_active; }
    void lift()
    {
        if (m_active)
            ::setrlimit(RLIMIT_FSIZE, &m_previous);
        m_active = false;
    }

private:
    rlimit m_previous{};
    bool m_active = false;
};

} // namespace varnello::test
