#pragma once
// A tiny tmpfs mounted for the life of the object, where the tests may mount one (as root):
// a disk that fills up for real.

#include <filesystem>
#include <sys/mount.h>

namespace tressimo::testing {

class TinyFileSystem
{
public:
    // `size` as mount takes it ("1500k").
    TinyFileSystem(const std::filesystem::path& at, const char* size) : m_at(at)
    {
        std::filesystem::create_directories(at);
        m_mounted = ::mount("tmpfs", at.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    }
    ~TinyFileSystem()
    {
        if (m_mounted)
            ::umount2(m_at.c_str(), MNT_DETACH);
    }
    TinyFileSystem(const TinyFileSystem&) = delete;
    TinyFileSystem& operator=(const TinyFileSystem&) = delete;
    bool mounted() const { return m_mounted; }

private:
    std::filesystem::path m_at;
    bool m_mounted = false;
};

} // namespace tressimo::testing
