#pragma once
// A bare pseudo-terminal pair for tests that play the far end of the line byte by byte.
// The program opens SlavePath(); the test writes to and reads from the master. A watch
// descriptor on the slave, opened first, lets the test see what waits in the slave's input
// queue without taking it.
#include <cstdint>
#include <string>
#include <vector>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return m_path; }
    int WatchFd() const { return m_watch; }
    // Writes bytes to the master and waits (up to 2 s) until they all wait at the slave.
    bool Send(const std::vector<std::uint8_t>& bytes);
    // Bytes waiting in the slave's input queue.
    int PendingAtSlave() const;
    // Everything the program has written so far, waiting up to timeoutMs for at least n bytes.
    std::vector<std::uint8_t> ReadFromSlave(std::size_t n, int timeoutMs = 1000);
    // Closes the master: the line is gone for whoever holds the slave.
    void CloseMaster();

private:
    int m_master = -1;
    int m_watch = -1;
    std::string m_path;
};
