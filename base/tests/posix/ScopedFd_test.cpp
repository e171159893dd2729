#include <gtest/gtest.h>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "base/posix/ScopedFd.h"

namespace {

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(ScopedFdTest, ClosesItsDescriptorOnDestructionAndKeepsErrno)
{
    int fd = -1;
    {
        ScopedFd owner(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(owner.valid());
        fd = owner.get();
        EXPECT_TRUE(isOpen(fd));
        errno = ENOSPC;
    }
    EXPECT_EQ(ENOSPC, errno);
    EXPECT_FALSE(isOpen(fd));
}

TEST(ScopedFdTest, ResetKeepsErrnoEvenWhenTheCloseFails)
{
    // A descriptor closed behind the owner's back: its own close then fails
    // with EBADF, which must not reach the caller.
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ScopedFd owner(fd);
    errno = EACCES;
    owner.reset();
    EXPECT_EQ(EACCES, errno);
    EXPECT_FALSE(owner.valid());
}

TEST(ScopedFdTest, NegativeDescriptorsAreEmpty)
{
    ScopedFd none;
    ScopedFd minus(-5);
    EXPECT_FALSE(none.valid());
    EXPECT_FALSE(minus.valid());
    EXPECT_EQ(-1, none.get());
}

TEST(ScopedFdTest, MoveHandsTheDescriptorOver)
{
    ScopedFd a(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const int fd = a.get();
    ScopedFd b(std::move(a));
    EXPECT_FALSE(a.valid());
    EXPECT_EQ(fd, b.get());
    EXPECT_TRUE(isOpen(fd));
    b.reset();
    EXPECT_FALSE(isOpen(fd));
}

TEST(ScopedDirTest, ClosesItsStreamAndKeepsErrno)
{
    int fd = -1;
    {
        ScopedDir dir(::opendir("/"));
        ASSERT_TRUE(dir.valid());
        fd = ::dirfd(dir.get());
        EXPECT_TRUE(isOpen(fd));
        errno = EIO;
    }
    EXPECT_EQ(EIO, errno);
    EXPECT_FALSE(isOpen(fd));
}

} // namespace
