#ifndef UNIT_UNITTEST_H
#define UNIT_UNITTEST_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <utility>
#include <vector>

// Table checks: each case is {what the code gave, what it should give}.
template <typename T> void expectCases(const std::vector<std::pair<T, T>>& cases)
{
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
    }
}

// A fresh scratch folder per test, removed with its contents afterwards. The
// working directory is put back too, since some code under test changes it.
class TempDirTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_startDirectory = std::filesystem::current_path();
        char pattern[] = "/tmp/cardflash-unit.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_startDirectory);
        std::filesystem::remove_all(m_dir);
    }
    std::string path(const std::string& name) const { return m_dir + "/" + name; }
    std::string write(const std::string& name, const std::string& content) const
    {
        std::ofstream(path(name), std::ios::binary) << content;
        return path(name);
    }
    static std::string readFile(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // A bound socket exists, yet opening it fails for every user, root included.
    // The caller closes the returned descriptor.
    int bindSocket(const std::string& name) const
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path(name).copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return fd;
    }

    std::string m_dir;
    std::filesystem::path m_startDirectory;
};

#endif
