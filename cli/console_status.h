#pragma once

#include "core/estimator.h"

#include <cstdio>
#include <string>

// The status window of the command line: the pass text on one line of a
// terminal, rewritten in place ("\r") on every pass and ended with a line
// feed when the computation ends. Silent when the stream is no terminal.
class CConsoleStatus : public IStatusWindow {
public:
    CConsoleStatus(std::FILE* stream, bool enabled) : stream(stream), enabled(enabled) {}

    void Show() override {}
    void SetText(const std::string& text) override;
    void Hide() override;

private:
    std::FILE* stream;
    bool enabled;
    bool lineOpen = false;
    std::size_t shownLength = 0;
};
