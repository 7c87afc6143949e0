#include "Progress.h"

#include <chrono>

#include "Display.h"

namespace zknd {

Progress::Progress(Output& out) : m_out(out)
{
    if (out.ErrIsTerminal())
        m_thread = std::thread([this] { Show(); });
}

Progress::~Progress()
{
    Done();
}

void Progress::Done()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bDone = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void Progress::Step(const std::string& strWhat)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strStep = strWhat;
}

void Progress::Show()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_wake.wait_for(lock, std::chrono::seconds(1), [this] { return m_bDone; }))
        return;
    const auto start = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    size_t nShown = 0;
    while (!m_bDone) {
        const auto nSeconds = std::chrono::duration_cast<std::chrono::seconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count();
        std::string line = "zknd: " + m_strStep + "... " + std::to_string(nSeconds) + " s";
        const size_t nWidth = DisplayWidth(line);
        if (nWidth < nShown)
            line.append(nShown - nWidth, ' ');  // wipe what the longer line left
        nShown = nWidth;
        m_out.Err("\r" + line);
        m_wake.wait_for(lock, std::chrono::milliseconds(250), [this] { return m_bDone; });
    }
    m_out.Err("\r" + std::string(nShown, ' ') + "\r");
}

}  // namespace zknd
