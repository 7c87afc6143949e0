#pragma once

// A progress line on standard error for work that takes more than a second:
// nothing before then, nothing when standard error is not a terminal (a log
// or a pipe gets no stray lines), and the line is wiped when the work ends.

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "Output.h"

namespace zknd {

class Progress {
public:
    explicit Progress(Output& out);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // What is being done now, e.g. "reading NodeDetailDataEx.xml".
    void Step(const std::string& strWhat);
    // The work is over: the line is wiped before anything else is written.
    void Done();

private:
    void Show();

    Output& m_out;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::string m_strStep;
    bool m_bDone = false;
    std::thread m_thread;
};

}  // namespace zknd
