#include "cli/console_status.h"

void CConsoleStatus::SetText(const std::string& text)
{
    if (!enabled)
        return;
    // The window shows two lines; a terminal line gets them side by side.
    std::string line = text;
    for (char& c : line)
        if (c == '\n')
            c = ' ';
    // Blank out what a longer previous text left behind.
    const std::size_t length = line.size();
    if (length < shownLength)
        line.append(shownLength - length, ' ');
    shownLength = length;
    std::fputc('\r', stream);
    std::fputs(line.c_str(), stream);
    std::fflush(stream);
    lineOpen = true;
}

void CConsoleStatus::Hide()
{
    if (!lineOpen)
        return;
    std::fputc('\n', stream);
    std::fflush(stream);
    lineOpen = false;
    shownLength = 0;
}
