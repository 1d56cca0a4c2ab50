// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <atomic>
#include <thread>

namespace varnix::test {

// Two pseudo-terminals joined as by a null-modem cable: what a program
// writes to one end's device, a program that has the other end's device
// open reads. Both lines are raw.
class NullModem
{
public:
    NullModem();
    ~NullModem();
    NullModem(const NullModem&) = delete;
    NullModem& operator=(const NullModem&) = delete;

    bool ok() const { return m_master[0] >= 0 && m_master[1] >= 0; }
    QString end(int side) const { return m_path[side]; }

private:
    void carry();

    int m_master[2] = {-1, -1};
    int m_slave[2] = {-1, -1};
    QString m_path[2];
    std::atomic<bool> m_running{false};
    std::thread m_carrier;
};

} // namespace varnix::test
