#pragma once

#include <utility>

#include <unistd.h>

namespace base {

// A file descriptor owned by one object (RAII): closed when it goes out of scope, on every
// branch, so that no early return leaks one. Move-only, like the descriptor itself.
class Descriptor
{
public:
    Descriptor() = default;
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept
        : m_fd(other.release())
    {
    }
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // Hands the descriptor to a new owner (a directory stream, say), which closes it.
    [[nodiscard]] int release() { return std::exchange(m_fd, -1); }
    // Closes the one held, if any, and takes `fd`.
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // Closes now, for a writer that must know: a network file system may report a failed write
    // only here. False with errno set.
    bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd = -1;
};

} // namespace base
